// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <initializer_list>
#include <thread>

typedef struct _GstElement GstElement;

namespace vireo {

// Readies the media framework on threads of its own while the window loads, so that the first video
// does not wait for it: the plugin registry at once, then, when told, the libraries of the elements a
// stream plays through and a connection to the sound server, kept while this lives so that every
// player shares it. Nothing here is needed: without it, the first player does the same work itself.
// Whatever the main thread does with GStreamer or loads meanwhile waits for the same locks, so the
// second step starts when told.
class MediaWarmup
{
public:
    // Starts initialise() on a thread.
    MediaWarmup();
    // Waits for the step under way, at most.
    ~MediaWarmup();
    // Once; later calls do nothing. Main thread only.
    void start();
    MediaWarmup(const MediaWarmup &) = delete;
    MediaWarmup &operator=(const MediaWarmup &) = delete;

    // GStreamer, set up for playing only. Call before anything makes a Qt media object: the first one
    // loads Qt's media layer, which starts every device monitor GStreamer has (sound cards, cameras),
    // a cost on the calling thread and a sound server connection for nothing, as nothing here records.
    // Once per process; a call while another runs waits for it.
    static void initialise();

private:
    void run();
    void make(std::initializer_list<const char *> names);

    std::atomic<bool> m_stop = false;
    GstElement *m_sound = nullptr;
    std::thread m_registry;
    std::thread m_thread;
};

} // namespace vireo
