// SPDX-License-Identifier: MIT
#include "playermodel.h"

#include "assign.h"
#include "history.h"
#include "settings.h"

using namespace Qt::StringLiterals;

namespace vireo {

std::shared_ptr<PlayerModel> PlayerModel::create(const Timing &timing)
{
    return {new PlayerModel(timing), [](PlayerModel *model) { model->deleteLater(); }};
}

std::shared_ptr<PlayerModel> PlayerModel::create()
{
    return create(Timing{});
}

PlayerModel::PlayerModel(const Timing &timing)
    : m_volume(Settings::instance().volume())
    , m_muted(Settings::instance().muted())
    , m_nowPlaying(new NowPlaying(this))
    , m_runner(new RequestRunner(timing, this))
    , m_playlist(new Playlist(timing.directory, this))
{
    m_skip.setSingleShot(true);
    m_skip.setInterval(std::chrono::seconds(3));
    connect(&m_skip, &QTimer::timeout, this, &PlayerModel::next);
    connect(m_playlist, &Playlist::startFound, this, &PlayerModel::listStarts);
    connect(m_playlist, &Playlist::pageDone, this, [this] {
        if (std::exchange(m_wantsNext, false))
            next();
    });
    // The link text is the same in every window, whichever one changed it.
    connect(&Settings::instance(), &Settings::lastURLChanged, this, &PlayerModel::urlTextChanged);
    // A new quality takes over the video that plays, where it is; so does a lower one on a slow network.
    const auto requality = [this](int maxHeight) {
        // Not once the last owner let go: the model is only waiting to be deleted.
        if (auto self = weak_from_this().lock(); self && m_mode.kind == PlaybackMode::Native)
            m_runner->requality(m_nowPlaying->source(), maxHeight, std::move(self));
    };
    connect(&Settings::instance(), &Settings::maxHeightChanged, this, [requality] { requality(Settings::instance().maxHeight()); });
    connect(m_nowPlaying, &NowPlaying::stepDown, this, requality);
    connect(m_runner, &RequestRunner::statusChanged, this, &PlayerModel::setStatus);
    connect(m_runner, &RequestRunner::loadingStream, this, [this](MediaPlayer *player) {
        setCandidate(player);
        Q_EMIT loadingStream();
    });
    connect(m_runner, &RequestRunner::answered, m_nowPlaying, &NowPlaying::answered);
    connect(m_runner, &RequestRunner::accepted, this, [this](const Source &source) { accept(source, true); });
    connect(m_runner, &RequestRunner::embedding, this, [this](const QString &id) { setMode(PlaybackMode::embed(id)); });
    connect(m_runner, &RequestRunner::embedEnded, this, &PlayerModel::embedEnded);
    connect(m_runner, &RequestRunner::requalified, this, &PlayerModel::requalified);
}

QString PlayerModel::invalidLinkMessage()
{
    return u"That doesn't look like a valid YouTube link. Paste a watch, youtu.be or shorts URL with an 11-character video ID."_s;
}

QString PlayerModel::failureMessage()
{
    return u"Couldn't play this video. Every source failed — try again or open it in your browser."_s;
}

QString PlayerModel::playlistFailureMessage()
{
    return u"Couldn't load this playlist, or it has no videos — try again or open it in your browser."_s;
}

QString PlayerModel::urlText() const
{
    return Settings::instance().lastURL();
}

void PlayerModel::setUrlText(const QString &text)
{
    Settings::instance().setLastURL(text);
}

void PlayerModel::setVolume(double volume)
{
    if (!assign(m_volume, std::clamp(volume, 0.0, 1.0)))
        return;
    Settings::instance().setVolume(m_volume);
    if (m_mode.player)
        applyTo(*m_mode.player);
    Q_EMIT volumeChanged();
}

void PlayerModel::setMuted(bool muted)
{
    if (!assign(m_muted, muted))
        return;
    Settings::instance().setMuted(muted);
    if (m_mode.player)
        applyTo(*m_mode.player);
    Q_EMIT mutedChanged();
}

void PlayerModel::setSpeed(double speed)
{
    if (speed < speeds().first() || speed > speeds().last() || !assign(m_speed, speed))
        return;
    if (m_mode.player)
        m_mode.player->setRate(m_speed);
    Q_EMIT speedChanged();
}

void PlayerModel::stepSpeed(int steps)
{
    const QList<double> all = speeds();
    const auto next = steps > 0 ? std::upper_bound(all.begin(), all.end(), m_speed) : std::lower_bound(all.begin(), all.end(), m_speed);
    if (steps > 0 && next != all.end())
        setSpeed(*next);
    else if (steps < 0 && next != all.begin())
        setSpeed(*(next - 1));
}

void PlayerModel::applyTo(MediaPlayer &player) const
{
    player.setRate(m_speed);
    player.setVolume(float(m_volume));
    player.setMuted(m_muted);
}

void PlayerModel::cancel()
{
    m_playlist->begin(std::nullopt);
    halt();
    setSpare(nullptr);
}

void PlayerModel::prepare()
{
    if (!m_spare && !m_loading && m_mode.kind == PlaybackMode::Idle)
        setSpare(MediaPlayer::createSpare());
}

void PlayerModel::setSpare(std::shared_ptr<MediaPlayer> spare)
{
    if (m_spare == spare)
        return;
    m_spare = std::move(spare);
    Q_EMIT spareChanged();
}

void PlayerModel::halt()
{
    m_skip.stop();
    m_wantsNext = false;
    m_nowPlaying->leave();
    m_runner->cancel();
    // Its player falls silent and lets go of the window's picture while the window still exists.
    setMode(PlaybackMode::idle());
}

void PlayerModel::play()
{
    start(Link::parse(urlText()));
}

void PlayerModel::play(const Link &link)
{
    start(link);
}

void PlayerModel::start(std::optional<Link> link)
{
    // A list played before goes on at the video that was playing.
    if (link && !link->playlistID.isEmpty())
        if (const auto was = History::instance().listVideo(link->text); was && was->first != link->videoID)
            link = Link{link->text, was->first, std::nullopt, link->playlistID, was->second > 0 ? std::optional(was->second) : std::nullopt};
    open(link);
    m_playlist->begin(link);
}

void PlayerModel::open(const std::optional<Link> &link)
{
    halt();
    setError(std::nullopt);
    m_nowPlaying->begin(link);
    setStatus(QString());
    if (!link) {
        setMode(PlaybackMode::idle());
        setLoading(false);
        setError(invalidLinkMessage());
        return;
    }
    setLoading(true);
    setMode(PlaybackMode::idle());
    if (link->videoID.isEmpty()) {
        setStatus(u"Loading the playlist…"_s);
        return;
    }
    m_runner->start(link->videoID, shared_from_this(), m_spare);
    setSpare(nullptr); // the request's now
}

void PlayerModel::listStarts(int row)
{
    if (row >= 0) {
        playEntry(row);
        return;
    }
    setLoading(false);
    setStatus(QString());
    setMode(PlaybackMode::failed());
    setError(playlistFailureMessage());
}

void PlayerModel::playEntry(int row)
{
    const PlaylistEntry *entry = m_playlist->entry(row);
    if (!entry)
        return;
    const Link list = *m_playlist->link();
    m_playlist->setCurrent(row);
    open(Link{list.text, entry->videoID, std::nullopt, list.playlistID, row + 1});
}

void PlayerModel::next()
{
    const int row = m_playlist->current() + 1;
    if (m_playlist->entry(row))
        playEntry(row);
    else if (m_playlist->canGoNext()) { // once its page is in
        m_wantsNext = true;
        m_playlist->fetchMore();
    }
}

void PlayerModel::previous()
{
    if (m_mode.player && (m_mode.player->position() > 3000 || !m_playlist->canGoPrevious()))
        m_mode.player->seek(0);
    else if (m_playlist->canGoPrevious())
        playEntry(m_playlist->current() - 1);
}

void PlayerModel::ended()
{
    // At the list's last video the queue ends, and the picture stays on its last frame.
    if (Settings::instance().autoplayNext() && m_playlist->canGoNext())
        next();
}

void PlayerModel::embedResult(bool ok)
{
    m_runner->embedResult(ok);
}

void PlayerModel::accept(const Source &source, bool fresh)
{
    applyTo(*source.player);
    connect(source.player.get(), &MediaPlayer::ended, this, [this, player = source.player.get()] {
        if (player == m_mode.player.get())
            ended();
    });
    // Where it starts is sought before a view shows its first picture.
    m_nowPlaying->accept(source, fresh);
    setMode(PlaybackMode::native(source.player));
    if (!fresh)
        return;
    setStatus(u"Playing from "_s + source.attempt->origin());
    setLoading(false);
    source.player->play();
}

void PlayerModel::embedEnded(bool ok)
{
    setLoading(false);
    if (ok) {
        setStatus(u"Playing from YouTube embed"_s);
    } else {
        setMode(PlaybackMode::failed());
        setStatus(QString());
        setError(failureMessage());
        // Never skipped silently: the failure shows a moment first.
        if (Settings::instance().autoplayNext() && m_playlist->canGoNext()) {
            setStatus(u"Skipping to the next video…"_s);
            m_skip.start();
        }
    }
}

void PlayerModel::requalified(const Source &source)
{
    if (!m_mode.player)
        return;
    const bool playing = m_mode.player->playing();
    source.player->seek(m_mode.player->position());
    source.player->continues();
    accept(source, false);
    if (playing)
        source.player->play();
}

void PlayerModel::setMode(PlaybackMode mode)
{
    // Whatever the request came to, its candidate is shown now or was given up.
    setCandidate(nullptr);
    if (assign(m_mode, std::move(mode)))
        Q_EMIT modeChanged();
}

void PlayerModel::setCandidate(MediaPlayer *player)
{
    if (m_candidate != player) {
        m_candidate = player;
        Q_EMIT candidateChanged();
    }
}

void PlayerModel::setLoading(bool loading)
{
    if (assign(m_loading, loading))
        Q_EMIT loadingChanged();
}

void PlayerModel::setError(std::optional<QString> error)
{
    if (assign(m_error, std::move(error)))
        Q_EMIT errorChanged();
}

void PlayerModel::setStatus(const QString &status)
{
    if (assign(m_status, status))
        Q_EMIT statusChanged(m_status);
}

} // namespace vireo
