// SPDX-License-Identifier: MIT
#include "nowplaying.h"

#include "clocktext.h"
#include "history.h"

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vireo {

NowPlaying::NowPlaying(QObject *parent)
    : QObject(parent)
    , m_captions(new Captions(this))
    , m_chapters(new Chapters(this))
    , m_segments(new Segments(this))
{
}

QUrl NowPlaying::browserURL() const
{
    if (!m_link)
        return {};
    return m_source.attempt ? m_source.attempt->watchPage() : m_link->page();
}

QString NowPlaying::quality() const
{
    if (!m_player || m_source.height <= 0)
        return {};
    return QString::number(m_source.height) + u'p' + (m_slow ? u" (slow network)"_s : QString());
}

void NowPlaying::begin(std::optional<Link> link)
{
    m_captions->show({}, nullptr, nullptr);
    m_chapters->show({}, nullptr);
    setTitle(std::nullopt);
    setChannel(std::nullopt);
    setResumedAt(-1);
    const bool hadQuality = !quality().isEmpty();
    m_player = nullptr;
    m_source = {};
    m_steppingDown = false;
    m_link = std::move(link);
    m_segments->begin(videoID());
    if (m_link)
        History::instance().visited(m_link->text, {}, m_link->playlistID.isEmpty() ? QString() : m_link->videoID, m_link->index.value_or(0));
    Q_EMIT videoChanged();
    if (hadQuality)
        Q_EMIT qualityChanged();
}

void NowPlaying::answered(const VideoInfo &info)
{
    // The first answer that names them wins, whether or not its stream plays.
    if (!m_title && info.title && m_link)
        History::instance().visited(m_link->text, *info.title);
    if (!m_title)
        setTitle(info.title);
    if (!m_channel)
        setChannel(info.author);
}

void NowPlaying::accept(const Source &source, bool fresh)
{
    if (m_player)
        disconnect(m_player, nullptr, this, nullptr);
    m_player = source.player.get();
    m_source = source;
    m_source.player.reset();
    m_slow = std::exchange(m_steppingDown, false) && !fresh;
    m_waits.clear();
    // Before the seek to where it starts, so that they know it got there by a seek.
    m_segments->follow(m_player);
    if (fresh && m_link) {
        // The link's own start time, else where the video was left; neither past its end.
        const auto kept = m_link->start ? std::optional(*m_link->start * 1000) : History::instance().position(m_link->videoID);
        const qint64 duration = m_player->duration();
        const bool start = kept && *kept > 0 && (duration <= 0 || *kept < duration);
        if (start)
            m_player->seek(*kept);
        setResumedAt(start && !m_link->start ? *kept : -1);
    }
    m_captions->show(source.info.captions, source.attempt, m_player);
    m_chapters->show(source.info.chapters, m_player);
    connect(m_player, &MediaPlayer::stateChanged, this, [this] {
        if (m_player && m_player->state() == MediaPlayer::State::Paused)
            leave();
    });
    connect(m_player, &MediaPlayer::waitingChanged, this, &NowPlaying::waiting);
    Q_EMIT videoChanged();
    Q_EMIT qualityChanged();
}

void NowPlaying::waiting()
{
    // Twice within 30 s: one height down, if the answer offers a lower one.
    if (!m_player || !m_player->waiting() || m_steppingDown)
        return;
    m_waits.removeIf([](const QDeadlineTimer &wait) { return wait.hasExpired(); });
    m_waits.append(QDeadlineTimer(30s));
    const auto &formats = m_source.info.adaptive;
    const bool lower = std::any_of(formats.begin(), formats.end(), [this](const AdaptiveFormat &f) {
        return f.height > 0 && f.height < m_source.height;
    });
    if (m_waits.size() < 2 || !lower)
        return;
    m_steppingDown = true;
    Q_EMIT stepDown(m_source.height - 1);
}

void NowPlaying::leave() const
{
    if (m_player && m_link)
        History::instance().leave(m_link->videoID, m_player->position(), m_player->duration());
}

QString NowPlaying::resumedAt() const
{
    if (m_resumedAt < 0)
        return {};
    return clockText(m_resumedAt / 1000);
}

void NowPlaying::startOver()
{
    if (m_player)
        m_player->seek(0);
    setResumedAt(-1);
}

void NowPlaying::setTitle(std::optional<QString> title)
{
    if (m_title == title)
        return;
    m_title = std::move(title);
    Q_EMIT titleChanged();
}

void NowPlaying::setChannel(std::optional<QString> channel)
{
    if (m_channel == channel)
        return;
    m_channel = std::move(channel);
    Q_EMIT channelChanged();
}

void NowPlaying::setResumedAt(qint64 ms)
{
    if (m_resumedAt == ms)
        return;
    m_resumedAt = ms;
    Q_EMIT resumedAtChanged();
}

} // namespace vireo
