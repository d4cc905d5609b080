// SPDX-License-Identifier: MIT
#include "mediawarmup.h"

#include <gio/gio.h>
#include <gst/gst.h>
#include <mutex>

namespace vireo {

MediaWarmup::MediaWarmup()
    : m_registry(&MediaWarmup::initialise)
{
}

void MediaWarmup::initialise()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gst_init(nullptr, nullptr);
        // A monitor starts only the providers ranked above none.
        GList *providers = gst_registry_get_feature_list(gst_registry_get(), GST_TYPE_DEVICE_PROVIDER_FACTORY);
        for (GList *p = providers; p; p = p->next)
            gst_plugin_feature_set_rank(GST_PLUGIN_FEATURE(p->data), GST_RANK_NONE);
        gst_plugin_feature_list_free(providers);
    });
}

void MediaWarmup::start()
{
    if (!m_thread.joinable())
        m_thread = std::thread(&MediaWarmup::run, this);
}

MediaWarmup::~MediaWarmup()
{
    m_stop = true;
    m_registry.join();
    if (m_thread.joinable())
        m_thread.join();
    if (m_sound) {
        gst_element_set_state(m_sound, GST_STATE_NULL);
        gst_object_unref(m_sound);
    }
}

void MediaWarmup::run()
{
    initialise();
    // What Qt's player is built of on the main thread first, and the sound server connection its
    // audio output opens there; then what a progressive or DASH stream plays through, on GStreamer's
    // own threads. Each element made loads its library and readies its class.
    make({"queue", "identity", "input-selector", "decodebin", "uridecodebin", "videoconvert", "videoscale", "audioconvert",
          "audioresample", "volume", "autoaudiosink"});
    // A sound sink that is open but plays nothing holds the connection its kind shares.
    GstElement *sound = m_stop ? nullptr : gst_element_factory_make("pulsesink", nullptr);
    if (sound) {
        gst_object_ref_sink(sound);
        if (gst_element_set_state(sound, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS) {
            m_sound = sound;
        } else {
            gst_element_set_state(sound, GST_STATE_NULL);
            gst_object_unref(sound);
        }
    }
    make({"souphttpsrc", "typefind", "qtdemux", "multiqueue", "queue2", "h264parse", "avdec_h264", "aacparse", "avdec_aac",
          "dashdemux"});
    if (GstPlugin *typefinders = m_stop ? nullptr : gst_plugin_load_by_name("typefindfunctions"))
        gst_object_unref(typefinders);
    // The stream's first connection asks GIO for a proxy: its first answer loads GIO's modules and
    // reads the system's proxy settings, some 30 ms. Asked on GIO's own threads, so that a slow
    // answer (a proxy script to fetch) never holds up quitting.
    if (!m_stop)
        g_proxy_resolver_lookup_async(g_proxy_resolver_get_default(), "http://127.0.0.1/", nullptr,
                                      [](GObject *resolver, GAsyncResult *result, gpointer) {
                                          g_strfreev(g_proxy_resolver_lookup_finish(G_PROXY_RESOLVER(resolver), result, nullptr));
                                      },
                                      nullptr);
}

void MediaWarmup::make(std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        if (m_stop)
            return;
        if (GstElement *element = gst_element_factory_make(name, nullptr))
            gst_object_unref(gst_object_ref_sink(element));
    }
}

} // namespace vireo
