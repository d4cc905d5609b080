// SPDX-License-Identifier: MIT
#include "mediaplayer.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <atomic>

using namespace Qt::StringLiterals;

namespace vireo {
namespace {
std::atomic<int> live = 0;
} // namespace

int MediaPlayer::liveCount()
{
    return live;
}

std::shared_ptr<MediaPlayer> MediaPlayer::create(const QUrl &url)
{
    return {new MediaPlayer(url), [](MediaPlayer *p) { p->deleteLater(); }};
}

MediaPlayer::MediaPlayer(const QUrl &url)
    : m_player(new QMediaPlayer(this))
    , m_audio(new QAudioOutput(this))
    , m_hasItem(url.isValid() && !url.isEmpty())
{
    ++live;
    m_player->setAudioOutput(m_audio);
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
    if (m_hasItem)
        m_player->setSource(url);
}

MediaPlayer::~MediaPlayer()
{
    // Stop first so no sound outlives the object while the pipeline winds down.
    m_player->stop();
    --live;
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

} // namespace vireo
