// SPDX-License-Identifier: MIT
#include "mediaplayer.h"

#include "mediawarmup.h"

#include <QCoreApplication>
#include <QMediaFormat>
#include <QTimer>
#include <QVideoFrame>
#include <algorithm>
#include <atomic>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vireo {
namespace {

std::atomic<int> live = 0;

// Long enough for a paused pipeline to hand its last frame to the event loop.
constexpr auto RetireDelay = 250ms;

} // namespace

MediaPlayer::State MediaPlayer::state() const
{
    switch (m_player->playbackState()) {
    case QMediaPlayer::PlayingState: return State::Playing;
    case QMediaPlayer::PausedState: return State::Paused;
    case QMediaPlayer::StoppedState: break;
    }
    return State::Stopped;
}

std::pair<QStringList, QStringList> MediaPlayer::decodable()
{
    static const auto codecs = [] {
        QMediaFormat format; // any container: the codecs, not how they are stored
        const auto video = format.supportedVideoCodecs(QMediaFormat::Decode);
        const auto audio = format.supportedAudioCodecs(QMediaFormat::Decode);
        QStringList v, a;
        if (video.contains(QMediaFormat::VideoCodec::H264))
            v << u"avc1"_s << u"avc3"_s;
        if (video.contains(QMediaFormat::VideoCodec::VP9))
            v << u"vp09"_s << u"vp9"_s;
        if (video.contains(QMediaFormat::VideoCodec::AV1))
            v << u"av01"_s;
        if (audio.contains(QMediaFormat::AudioCodec::AAC))
            a << u"mp4a"_s;
        if (audio.contains(QMediaFormat::AudioCodec::Opus))
            a << u"opus"_s;
        return std::pair(v, a);
    }();
    return codecs;
}

int MediaPlayer::liveCount()
{
    return live;
}

std::shared_ptr<MediaPlayer> MediaPlayer::create(const QUrl &url)
{
    MediaWarmup::initialise();
    return {new MediaPlayer(url), [](MediaPlayer *p) { p->retire(); }};
}

MediaPlayer::MediaPlayer(const QUrl &url)
    : m_player(new QMediaPlayer(this))
    , m_audio(new QAudioOutput(this))
    , m_sink(new QVideoSink(this))
    , m_hasItem(url.isValid() && !url.isEmpty())
{
    ++live;
    m_player->setAudioOutput(m_audio);
    m_player->setVideoSink(m_sink);
    connect(m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error, const QString &message) {
        fail(message.isEmpty() ? u"The stream could not be played."_s : message);
    });
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        // BufferedMedia comes before LoadedMedia with GStreamer and says nothing about playability.
        if (status == QMediaPlayer::LoadedMedia && m_status == ItemStatus::Unknown) {
            m_status = ItemStatus::ReadyToPlay;
            Q_EMIT statusChanged(m_status);
        } else if (status == QMediaPlayer::InvalidMedia) {
            fail(m_player->errorString());
        }
    });
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, &MediaPlayer::stateChanged);
    connect(m_player, &QMediaPlayer::positionChanged, this, &MediaPlayer::positionChanged);
    connect(m_player, &QMediaPlayer::durationChanged, this, &MediaPlayer::durationChanged);
    connect(m_player, &QMediaPlayer::seekableChanged, this, &MediaPlayer::seekableChanged);
    connect(m_player, &QMediaPlayer::playbackRateChanged, this, &MediaPlayer::rateChanged);
    // Whether the sink's picture may be shown: not between a seek and the first picture after it.
    connect(m_sink, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame &frame) {
        if (frame.isValid())
            m_fresh = true;
    });
    if (m_hasItem) {
        m_player->setSource(url);
        // Paused rather than stopped: a stopped player hands its sink an empty frame for the one it
        // prerolled, and the first picture then waits for play() and the frame after it.
        m_player->pause();
    }
}

MediaPlayer::~MediaPlayer()
{
    // Before its outputs: losing one would make the player rebuild the pipeline on its way out.
    delete m_player;
    --live;
}

void MediaPlayer::retire()
{
    // GStreamer's streaming thread waits up to 300 ms for this thread to take each frame; a pipeline
    // torn down (stopped, or an output removed) in the meantime blocks this thread until it gives up.
    // So the player is paused now, which silences it at once, and deleted once it has settled.
    m_player->pause();
    disconnect(m_sink, &QVideoSink::videoFrameChanged, nullptr, nullptr); // its view shows the next video now
    setParent(QCoreApplication::instance()); // freed at exit all the same
    QTimer::singleShot(RetireDelay, this, &QObject::deleteLater);
}

void MediaPlayer::showOn(QVideoSink *sink)
{
    if (!sink)
        return;
    connect(m_sink, &QVideoSink::videoFrameChanged, sink, [this, sink](const QVideoFrame &frame) {
        if (m_fresh)
            sink->setVideoFrame(frame);
    });
    if (m_fresh)
        sink->setVideoFrame(m_sink->videoFrame());
    else if (!m_continues)
        sink->setVideoFrame({});
}

void MediaPlayer::fail(const QString &message)
{
    // The first error says what went wrong; later ones only follow from it.
    if (m_status == ItemStatus::Failed)
        return;
    m_status = ItemStatus::Failed;
    m_errorString = message.isEmpty() ? u"The stream could not be played."_s : message;
    Q_EMIT statusChanged(m_status);
}

void MediaPlayer::play()
{
    m_player->play();
}

void MediaPlayer::pause()
{
    m_player->pause();
}

void MediaPlayer::seek(qint64 ms)
{
    if (!seekable())
        return;
    ms = std::max<qint64>(0, duration() > 0 ? std::min(ms, duration()) : ms);
    // The view keeps its picture until one from the new place arrives, rather than going black (or,
    // before the first play, showing the start of the video).
    m_fresh = false;
    m_player->setPosition(ms);
    Q_EMIT seeked(ms);
}

} // namespace vireo
