// SPDX-License-Identifier: MIT
#include "mediaplayer.h"

#include "assign.h"

#include <QLoggingCategory>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <clocale>
#include <cmath>
#include <cstring>
#include <mpv/client.h>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcPlayer, "vireo.player", QtWarningMsg)

namespace vireo {
namespace {

std::atomic<int> live = 0;

// What the events say, by the number each observed property was given.
enum Observed : quint64 { TimePos = 1, Duration, Seekable, Pause, EofReached, PausedForCache, VideoHeight, Speed, VoConfigured };
// The replies that are read, told from the others (all 0).
constexpr quint64 SeekReply = 1;
constexpr quint64 SoundReply = 2;

struct Option {
    const char *name;
    const char *value;
};

// Everything mpv would do beyond playing what it is handed is off: no helper programs, scripts,
// configuration files, on-screen controls or key bindings of its own, and no captions (they are ours).
constexpr Option Options[] = {
    {"vo", "null"}, // until a view draws it
    {"ytdl", "no"},
    {"load-scripts", "no"},
    // mpv's own scripts run whatever load-scripts says: each is a Lua thread in every core.
    {"load-stats-overlay", "no"},
    {"load-osd-console", "no"},
    {"load-auto-profiles", "no"},
    {"config", "no"},
    {"osc", "no"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"terminal", "no"},
    // Off by default in this mpv: a stream behind a certificate nobody trusts must not play.
    {"tls-verify", "yes"},
    {"network-timeout", "10"},
    // Bounded memory on a long video.
    {"demuxer-max-bytes", "150MiB"},
    {"demuxer-max-back-bytes", "50MiB"},
    // Software until a view draws it (viewContextMade): probing the hardware's decoders takes longer
    // than decoding one picture, and a candidate may never be shown. One thread too, as it decodes one
    // picture meanwhile: the view's output gets a decoder of its own, and the pictures that the first
    // one's threads held stay with the allocator.
    {"hwdec", "no"},
    {"vd-lavc-threads", "1"},
    {"sid", "no"},
    // Nothing of mpv's own is drawn over the picture, so its text needs no fonts: finding them costs
    // each new player tens of milliseconds.
    {"osd-level", "0"},
    {"osd-font-provider", "none"},
    {"sub-auto", "no"},
    {"keep-open", "yes"},
    {"idle", "yes"},
    {"pause", "yes"},
    // A sound server that is gone or refuses costs the sound, never the picture.
    {"audio-fallback-to-null", "yes"},
    {"audio-client-name", "Vireo"},
    // PipeWire desktops serve PulseAudio clients too; asking PipeWire first fails slowly elsewhere.
    {"ao", "pulse,pipewire,alsa"},
    // Little sound queued ahead, so that a change of speed, volume or mute is heard within 0.2 s: the
    // server's own size is 2 s on PulseAudio, and mpv's 0.1 s plus 0.2 s of its own is heard late too.
    {"pulse-buffer", "50"},
    {"audio-buffer", "0.05"},
    // A picture is handed to its view when it is due rather than ahead of time, or drawing it waits
    // for that time, and with it every other item of the window.
    {"video-timing-offset", "0"},
};

// Tearing a core down joins its threads, which takes seconds while a name lookup hangs: not on Qt's
// shared pool, where the instances' answers are parsed and would wait behind it.
QThreadPool &teardown()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(8);
        return p;
    }();
    return *pool;
}

// This mpv has no "-append" suffix through its API, and a plain string splits the list at every
// ':', as in "https:": the sound's address goes in as a list of one.
bool appendAudio(mpv_handle *mpv, const QUrl &audio)
{
    QByteArray address = audio.toString(QUrl::FullyEncoded).toUtf8();
    mpv_node item{{.string = address.data()}, MPV_FORMAT_STRING};
    mpv_node_list list{1, &item, nullptr};
    mpv_node files{{.list = &list}, MPV_FORMAT_NODE_ARRAY};
    return mpv_set_option(mpv, "audio-files", MPV_FORMAT_NODE, &files) >= 0;
}

// A picture of nothing, black, in the layout of most videos' pictures (the renderer's programs depend
// on it), read from memory as it is: probing the format of a stream takes a 10 MB buffer.
QByteArray nothing()
{
    return "hex://" + QByteArray(64 * 36, '\x10').toHex() + QByteArray(2 * 32 * 18, '\x80').toHex();
}
constexpr char NothingFormat[] = "demuxer=rawvideo,demuxer-rawvideo-w=64,demuxer-rawvideo-h=36,demuxer-rawvideo-mp-format=yuv420p";

void onWakeup(void *player)
{
    QMetaObject::invokeMethod(static_cast<MediaPlayer *>(player), "drain", Qt::QueuedConnection);
}

} // namespace

void MediaPlayer::prepare()
{
    if (std::strcmp(std::setlocale(LC_NUMERIC, nullptr), "C") != 0)
        std::setlocale(LC_NUMERIC, "C");
}

std::pair<QStringList, QStringList> MediaPlayer::decodable()
{
    // FFmpeg decodes all of these; the lighter ones cost less where decoding is done in software.
    static const std::pair<QStringList, QStringList> codecs{{u"avc1"_s, u"avc3"_s, u"vp09"_s, u"vp9"_s, u"av01"_s},
                                                           {u"mp4a"_s, u"opus"_s}};
    return codecs;
}

int MediaPlayer::liveCount()
{
    return live;
}

std::shared_ptr<MediaPlayer> MediaPlayer::create(const QUrl &url, const QUrl &audio)
{
    prepare();
    return {new MediaPlayer(url, audio), [](MediaPlayer *p) { p->retire(); }};
}

std::shared_ptr<MediaPlayer> MediaPlayer::createSpare()
{
    auto player = create({});
    player->m_address = nothing();
    player->m_format = NothingFormat;
    player->m_hasItem = true;
    player->m_warming = true;
    // Only a view that draws it loads it: a spare that isn't drawn is of no use.
    player->m_awaitsView = true;
    return player;
}

bool MediaPlayer::open(const QUrl &url, const QUrl &audio)
{
    if (!std::exchange(m_warming, false) || !m_mpv || m_retiring || m_status == ItemStatus::Failed)
        return false;
    if (!audio.isEmpty() && !appendAudio(m_mpv, audio))
        return false;
    m_address = url.toString(QUrl::FullyEncoded).toUtf8();
    m_format = nullptr;
    m_hasItem = url.isValid() && !url.isEmpty();
    m_needsSound = !audio.isEmpty();
    m_loaded = false;
    m_ended = false;
    // In place of the picture of nothing; or at once, as a new player, if no view is making it a
    // context (one that does later gives it its output then).
    if (std::exchange(m_loadBegun, false) || !m_drawn)
        load();
    return true;
}

MediaPlayer::MediaPlayer(const QUrl &url, const QUrl &audio)
    : m_mpv(mpv_create())
    , m_address(url.toString(QUrl::FullyEncoded).toUtf8())
    , m_hasItem(url.isValid() && !url.isEmpty())
    , m_needsSound(!audio.isEmpty())
{
    if (!m_mpv) {
        fail(u"The video player could not be started."_s);
        return;
    }
    ++live;
    // A name this mpv does not know is refused quietly, and what it stood for silently left undone.
    for (const auto &[name, value] : Options) {
        if (mpv_set_option_string(m_mpv, name, value) < 0)
            qCWarning(lcPlayer) << "the engine refused" << name << value;
    }
    // Without its sound a candidate is no source at all: failing lets the next one play.
    if ((!audio.isEmpty() && !appendAudio(m_mpv, audio)) || mpv_initialize(m_mpv) < 0) {
        destroyCore();
        fail(u"The video player could not be started."_s);
        return;
    }
    // QT_LOGGING_RULES="vireo.player.info=true" shows mpv's errors; ".debug=true" all it says.
    mpv_request_log_messages(m_mpv, lcPlayer().isDebugEnabled() ? "v" : "error");
    mpv_observe_property(m_mpv, TimePos, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, Duration, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, Seekable, "seekable", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, Pause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, EofReached, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, PausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, VideoHeight, "video-params/h", MPV_FORMAT_INT64);
    mpv_observe_property(m_mpv, Speed, "speed", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, VoConfigured, "vo-configured", MPV_FORMAT_FLAG);
    mpv_set_wakeup_callback(m_mpv, onWakeup, this);
    // Whoever made it may hand it to a view first (awaitView).
    QMetaObject::invokeMethod(this, [this] {
        if (!m_awaitsView)
            load();
    }, Qt::QueuedConnection);
}

void MediaPlayer::awaitView()
{
    if (m_loadBegun)
        return;
    m_awaitsView = true;
    QTimer::singleShot(std::chrono::seconds(1), this, &MediaPlayer::load);
}

void MediaPlayer::load()
{
    if (!m_mpv || !m_hasItem || m_retiring || std::exchange(m_loadBegun, true))
        return;
    const char *command[] = {"loadfile", m_address.constData(), "replace", m_format, nullptr};
    mpv_command_async(m_mpv, 0, command);
    ++m_loads;
}

MediaPlayer::~MediaPlayer()
{
    destroyCore();
}

void MediaPlayer::set(const char *name, const char *value)
{
    if (m_mpv)
        mpv_set_property_async(m_mpv, 0, name, MPV_FORMAT_STRING, &value);
}

void MediaPlayer::drain()
{
    while (m_mpv) {
        const mpv_event *event = mpv_wait_event(m_mpv, 0);
        switch (event->event_id) {
        case MPV_EVENT_NONE: return;
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto *property = static_cast<const mpv_event_property *>(event->data);
            handleProperty(event->reply_userdata, property->format == MPV_FORMAT_NONE ? nullptr : property->data);
            break;
        }
        case MPV_EVENT_START_FILE: ++m_starts; break;
        case MPV_EVENT_FILE_LOADED:
            if (current())
                m_loaded = true;
            break;
        case MPV_EVENT_COMMAND_REPLY:
            if (event->reply_userdata == SeekReply) {
                m_seeksUnanswered = std::max(0, m_seeksUnanswered - 1);
                if (event->error < 0 && m_seeksUnanswered == 0)
                    settled();
            }
            break;
        case MPV_EVENT_PLAYBACK_RESTART:
            // The core lands only after it has taken a seek: a landing read while a later seek is
            // still untaken is an earlier one's, and where it is is not where the later one asked.
            if (m_seeksUnanswered == 0)
                settled();
            // The first picture is decoded (and the sound ready): it can play, once a sound stream of
            // its own is known to have opened, as mpv would play the pictures without it.
            if (m_loaded && current() && !m_warming && m_status == ItemStatus::Unknown) {
                if (m_needsSound)
                    mpv_get_property_async(m_mpv, SoundReply, "current-tracks/audio/id", MPV_FORMAT_INT64);
                else
                    ready();
            }
            break;
        case MPV_EVENT_GET_PROPERTY_REPLY:
            if (event->reply_userdata == SoundReply && m_status == ItemStatus::Unknown) {
                if (event->error < 0)
                    fail(u"The stream's sound could not be played."_s);
                else
                    ready();
            }
            break;
        case MPV_EVENT_END_FILE: {
            if (!current())
                break;
            settled();
            const auto *end = static_cast<const mpv_event_end_file *>(event->data);
            if (end->reason == MPV_END_FILE_REASON_ERROR)
                fail(u"The stream could not be played (%1)."_s.arg(QString::fromUtf8(mpv_error_string(end->error))));
            else if (end->reason == MPV_END_FILE_REASON_EOF && m_status == ItemStatus::Unknown)
                fail(u"The stream could not be played (it holds nothing to play)."_s);
            break;
        }
        case MPV_EVENT_LOG_MESSAGE: {
            const auto *message = static_cast<const mpv_event_log_message *>(event->data);
            qCInfo(lcPlayer) << message->prefix << QString::fromUtf8(message->text).trimmed();
            break;
        }
        default: break;
        }
    }
}

void MediaPlayer::handleProperty(quint64 id, const void *data)
{
    const bool flag = data && *static_cast<const int *>(data) != 0;
    const double number = data ? *static_cast<const double *>(data) : 0.0;
    const qint64 ms = qint64(std::llround(std::max(0.0, number) * 1000));
    switch (Observed(id)) {
    case TimePos:
        // Until a seek settles, what the core says may still be from before it, and would take the
        // place it was asked for back.
        if (data && !m_seeking && assign(m_position, ms))
            Q_EMIT positionChanged();
        break;
    case Duration:
        if (assign(m_duration, ms))
            Q_EMIT durationChanged();
        break;
    case Seekable:
        if (assign(m_seekable, flag))
            Q_EMIT seekableChanged();
        break;
    case Pause: setPaused(flag); break;
    case EofReached:
        if (assign(m_ended, flag)) {
            Q_EMIT stateChanged();
            if (m_ended)
                Q_EMIT ended();
        }
        break;
    case PausedForCache:
        if (assign(m_waiting, flag))
            Q_EMIT waitingChanged();
        break;
    case VideoHeight:
        if (assign(m_videoHeight, data ? int(*static_cast<const int64_t *>(data)) : 0))
            Q_EMIT videoHeightChanged();
        break;
    case Speed:
        if (data && assign(m_rate, number))
            Q_EMIT rateChanged();
        break;
    case VoConfigured:
        m_voConfigured = flag;
        if (releasable())
            Q_EMIT frameReady();
        break;
    }
}

MediaPlayer::State MediaPlayer::state() const
{
    if (!m_loaded || m_ended)
        return State::Stopped;
    return m_paused ? State::Paused : State::Playing;
}

void MediaPlayer::play()
{
    // At the end it starts over, as players do.
    if (m_ended)
        seek(0);
    set("pause", "no");
    setPaused(false);
}

void MediaPlayer::pause()
{
    set("pause", "yes");
    setPaused(true);
}

void MediaPlayer::setPaused(bool paused)
{
    // Readers (MPRIS, history, the inhibitor) see what was asked at once; the core confirms it.
    if (assign(m_paused, paused))
        Q_EMIT stateChanged();
}

void MediaPlayer::seek(qint64 ms)
{
    if (!seekable() || !m_mpv)
        return;
    ms = std::max<qint64>(0, m_duration > 0 ? std::min(ms, m_duration) : ms);
    moveTo(ms, "absolute");
    m_seeking = true;
    // Readers (MPRIS, the seek bar) see the new place at once, not a frame later; told of the seek
    // first, those that follow playback (segments) know the new place is no playing on.
    m_position = ms;
    Q_EMIT seeked(ms);
    Q_EMIT positionChanged();
}

void MediaPlayer::moveTo(qint64 ms, const char *how)
{
    const QByteArray seconds = QByteArray::number(double(ms) / 1000, 'f', 3);
    const char *command[] = {"seek", seconds.constData(), how, nullptr};
    mpv_command_async(m_mpv, SeekReply, command);
    ++m_seeksUnanswered;
}

void MediaPlayer::settled()
{
    // Its view holds back pictures while it seeks, and shows the one it came to.
    if (std::exchange(m_seeking, false))
        Q_EMIT frameReady();
}

void MediaPlayer::setRate(double rate)
{
    set("speed", QByteArray::number(rate, 'f', 3).constData());
    // Readers see the new speed at once; the core confirms it.
    if (assign(m_rate, rate))
        Q_EMIT rateChanged();
}

void MediaPlayer::setVolume(float volume)
{
    m_volume = std::clamp(volume, 0.0f, 1.0f);
    // mpv's volume is cubic: its gain is (volume / 100)³.
    set("volume", QByteArray::number(100.0 * std::cbrt(double(m_volume)), 'f', 3).constData());
}

void MediaPlayer::setMuted(bool muted)
{
    set("mute", muted ? "yes" : "no");
}

void MediaPlayer::viewContextMade()
{
    // Now the view can draw it: it decodes for it from here on.
    if (m_retiring)
        return;
    // The output first: a change of either makes a new decoder, and only the second looks for the
    // hardware's. As many threads as the machine has cores: mpv's own choice is one more, which holds
    // one more picture and a decoder's state (6 MB at 1080p) for no sooner picture.
    set("vd-lavc-threads", QByteArray::number(QThread::idealThreadCount()).constData());
    set("vo", "libmpv");
    set("hwdec", "auto-safe");
    if (!m_loadBegun) {
        load();
        return;
    }
    // The new output only refreshes the picture, which leaves sound already handed to the sound
    // server at odds with it; a seek to where it is starts both afresh. Every picture it brings is
    // of where it is, so the view need not hold them back as it does on the way to a seek's place.
    moveTo(m_position, "absolute+exact");
}

void MediaPlayer::viewContextFreed()
{
    m_drawn = false;
    if (m_retiring)
        destroyCore();
}

void MediaPlayer::ready()
{
    m_status = ItemStatus::ReadyToPlay;
    Q_EMIT statusChanged(m_status);
}

void MediaPlayer::fail(const QString &message)
{
    // The first error says what went wrong; later ones only follow from it.
    if (m_status == ItemStatus::Failed)
        return;
    m_status = ItemStatus::Failed;
    m_errorString = message;
    Q_EMIT statusChanged(m_status);
}

void MediaPlayer::retire()
{
    m_retiring = true;
    // Silent at once; the rest is torn down off this thread.
    set("pause", "yes");
    set("mute", "yes");
    if (!m_drawn) {
        destroyCore();
        return;
    }
    // A drawing context is freed only once its core has let go of the picture, or freeing it waits on
    // the core: the view frees it (viewContextFreed) once the picture is gone. A spare still opening
    // its stream shows its picture of nothing until that file is stopped.
    set("vid", "no");
    if (!m_loaded) {
        const char *stop[] = {"stop", nullptr};
        mpv_command_async(m_mpv, 0, stop);
    }
    if (releasable())
        Q_EMIT frameReady();
}

void MediaPlayer::destroyCore()
{
    if (mpv_handle *mpv = std::exchange(m_mpv, nullptr)) {
        mpv_set_wakeup_callback(mpv, nullptr, nullptr);
        // It joins the core's threads: tens of milliseconds.
        teardown().start([mpv] {
            mpv_terminate_destroy(mpv);
            --live;
        });
    }
    if (m_retiring)
        deleteLater();
}

} // namespace vireo
