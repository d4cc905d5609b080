// SPDX-License-Identifier: MIT
#include "playermodel.h"

#include "settings.h"
#include "sourcepipeline.h"
#include "instances/instancelist.h"
#include "sources/videoid.h"

#include <QTimer>

using namespace Qt::StringLiterals;

namespace vireo {
namespace {

// Views are told only of real changes.
template<typename T>
bool assign(T &member, T value)
{
    if (member == value)
        return false;
    member = std::move(value);
    return true;
}

} // namespace

std::shared_ptr<PlayerModel> PlayerModel::create(const Timing &timing)
{
    return {new PlayerModel(timing), [](PlayerModel *model) { model->deleteLater(); }};
}

std::shared_ptr<PlayerModel> PlayerModel::create()
{
    return create(Timing{});
}

PlayerModel::PlayerModel(const Timing &timing)
    : m_timing{timing.readiness, timing.embed,
               timing.directory.isEmpty() ? InstanceList::directoryUrl() : timing.directory}
    , m_volume(Settings::instance().volume())
    , m_muted(Settings::instance().muted())
    , m_captions(new Captions(this))
{
    // The link text and the own instance are the same in every window, whichever one changed them.
    connect(&Settings::instance(), &Settings::lastURLChanged, this, &PlayerModel::urlTextChanged);
    connect(&Settings::instance(), &Settings::preferredInstanceChanged, this, &PlayerModel::preferredInstanceChanged);
    connect(&Settings::instance(), &Settings::maxHeightChanged, this, &PlayerModel::maxHeightChanged);
}

QString PlayerModel::invalidLinkMessage()
{
    return u"That doesn't look like a valid YouTube link. Paste a watch, youtu.be or shorts URL with an 11-character video ID."_s;
}

QString PlayerModel::failureMessage()
{
    return u"Couldn't play this video. Every source failed — try again or open it in your browser."_s;
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

QString PlayerModel::preferredInstance() const
{
    return Settings::instance().preferredInstance();
}

void PlayerModel::setPreferredInstance(const QString &address)
{
    if (isInstanceAddress(address))
        Settings::instance().setPreferredInstance(address.trimmed());
}

bool PlayerModel::isInstanceAddress(const QString &address)
{
    return address.trimmed().isEmpty() || Instance::fromAddress(address);
}

QUrl PlayerModel::browserURL() const
{
    return m_videoID ? watchPage(*m_videoID, m_currentBase.value_or(QString())) : QUrl();
}

void PlayerModel::cancel()
{
    leave();
    for (const CancelToken &token : {m_task, m_switch})
        if (token)
            token->cancel();
    if (m_mode.kind == PlaybackMode::Native)
        m_mode.player->pause();
    embedResult(false);
}

void PlayerModel::play()
{
    cancel();
    m_captions->show({}, nullptr);
    setError(std::nullopt);
    setTitle(std::nullopt);
    setChannel(std::nullopt);
    setStatus(QString());

    setResumedAt(-1);
    const auto id = VideoID::extract(urlText());
    if (assign(m_start, VideoID::startTime(urlText())))
        Q_EMIT startTimeChanged();
    setRequest(id, std::nullopt);
    if (!id) {
        setMode(PlaybackMode::idle());
        setLoading(false);
        setError(invalidLinkMessage());
        return;
    }
    setLoading(true);
    setMode(PlaybackMode::idle());
    m_link = urlText().trimmed(); // the field may change while the request runs, in any window
    History::instance().visited(m_link);
    m_task = std::make_shared<Cancellation>();
    run(shared_from_this(), *id, m_task);
}

void PlayerModel::embedResult(bool ok)
{
    if (const auto wait = std::exchange(m_embedContinuation, std::nullopt))
        wait->resume(ok);
}

QCoro::Task<> PlayerModel::run(std::shared_ptr<PlayerModel> self, QString id, CancelToken task)
{
    self->setStatus(u"Finding instances…"_s);
    QList<Instance> instances = co_await InstanceList::top(5, self->m_timing.directory);
    if (const auto own = Instance::fromAddress(self->preferredInstance()))
        instances.prepend(*own);

    SourcePipeline pipeline(id, self->m_timing.readiness, task, Settings::instance().maxHeight());
    connect(&pipeline, &SourcePipeline::statusChanged, self.get(), &PlayerModel::setStatus);
    connect(&pipeline, &SourcePipeline::loadingStream, self.get(), &PlayerModel::loadingStream);
    connect(&pipeline, &SourcePipeline::answered, self.get(), [model = self.get()](const VideoInfo &info) {
        // The first answer that names them wins, whether or not its stream plays.
        if (!model->m_title && info.title)
            History::instance().visited(model->m_link, *info.title);
        if (!model->m_title)
            model->setTitle(info.title);
        if (!model->m_channel)
            model->setChannel(info.author);
    });
    if (const auto source = co_await pipeline.run(instances)) {
        // The link's own start time, else where the video was left; neither past its end.
        const auto kept = self->m_start ? std::optional(*self->m_start * 1000) : History::instance().position(id);
        const qint64 duration = source->player->duration();
        const bool start = kept && *kept > 0 && (duration <= 0 || *kept < duration);
        if (start)
            source->player->seek(*kept);
        self->setRequest(self->m_videoID, source->instance.base);
        self->accept(*source);
        self->setStatus(u"Playing from "_s + source->instance.host);
        self->setLoading(false);
        self->setResumedAt(start && !self->m_start ? *kept : -1);
        source->player->play();
        co_return;
    }

    if (task->isCancelled())
        co_return;
    self->setStatus(u"Trying YouTube embed…"_s);
    self->setMode(PlaybackMode::embed(id));

    const OneShot wait;
    self->m_embedContinuation = wait;
    // Holds the model weakly, and ends only its own wait: a later request's embed wait keeps its full time.
    QTimer::singleShot(self->m_timing.embed, self.get(), [model = self.get(), wait] {
        if (model->m_embedContinuation == wait)
            model->embedResult(false);
    });
    const bool ok = co_await wait;

    if (task->isCancelled())
        co_return;
    self->setLoading(false);
    if (ok) {
        self->setStatus(u"Playing from YouTube embed"_s);
    } else {
        self->setMode(PlaybackMode::failed());
        self->setStatus(QString());
        self->setError(failureMessage());
    }
}

void PlayerModel::accept(const Source &source)
{
    applyTo(*source.player);
    m_origin = source;
    m_origin.player.reset(); // the mode holds the player, and lets it go
    setMode(PlaybackMode::native(source.player));
    m_captions->show(source.info.captions, source.player.get());
    Q_EMIT qualityChanged();
    connect(source.player.get(), &MediaPlayer::playbackStateChanged, this, [this] {
        if (player() && player()->playbackState() == QMediaPlayer::PausedState)
            leave();
    });
}

QString PlayerModel::quality() const
{
    return m_mode.player && m_origin.height > 0 ? QString::number(m_origin.height) + u'p' : QString();
}

QVariantList PlayerModel::qualities()
{
    const auto choice = [](const QString &text, int height) { return QVariantMap{{u"text"_s, text}, {u"height"_s, height}}; };
    return {choice(u"Standard (single file)"_s, 0), choice(u"Up to 720p"_s, 720), choice(u"Up to 1080p"_s, 1080),
            choice(u"Best available"_s, 4320)};
}

int PlayerModel::maxHeight() const
{
    return Settings::instance().maxHeight();
}

void PlayerModel::setMaxHeight(int height)
{
    if (height == maxHeight())
        return;
    Settings::instance().setMaxHeight(height);
    if (m_mode.kind != PlaybackMode::Native)
        return;
    if (m_switch)
        m_switch->cancel();
    m_switch = std::make_shared<Cancellation>();
    requality(shared_from_this(), m_task, m_switch);
}

QCoro::Task<> PlayerModel::requality(std::shared_ptr<PlayerModel> self, CancelToken request, CancelToken swap)
{
    // The new stream is readied while the old one plays on, then takes its place where it is.
    SourcePipeline pipeline(*self->m_videoID, self->m_timing.readiness, swap, Settings::instance().maxHeight());
    const auto source = co_await pipeline.tryAnswer(self->m_origin.instance, self->m_origin.local, self->m_origin.info);
    if (!source || swap->isCancelled() || request->isCancelled() || !self->m_mode.player)
        co_return;
    const bool playing = self->m_mode.player->playing();
    source->player->seek(self->m_mode.player->position());
    source->player->continues();
    self->accept(*source);
    if (playing)
        source->player->play();
}

void PlayerModel::leave() const
{
    if (m_mode.kind == PlaybackMode::Native && m_videoID)
        History::instance().leave(*m_videoID, m_mode.player->position(), m_mode.player->duration());
}

QString PlayerModel::resumedAt() const
{
    if (m_resumedAt < 0)
        return {};
    const qint64 total = m_resumedAt / 1000, hours = total / 3600;
    const QString minutes = QString::number(total / 60 % 60).rightJustified(hours ? 2 : 1, u'0');
    return (hours ? QString::number(hours) + u':' : QString()) + minutes + u':' + QString::number(total % 60).rightJustified(2, u'0');
}

void PlayerModel::setResumedAt(qint64 ms)
{
    if (assign(m_resumedAt, ms))
        Q_EMIT resumedAtChanged();
}

void PlayerModel::startOver()
{
    if (m_mode.player)
        m_mode.player->seek(0);
    setResumedAt(-1);
}

void PlayerModel::setMode(PlaybackMode mode)
{
    if (assign(m_mode, std::move(mode)))
        Q_EMIT modeChanged();
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

void PlayerModel::setTitle(std::optional<QString> title)
{
    if (assign(m_title, std::move(title)))
        Q_EMIT titleChanged();
}

void PlayerModel::setChannel(std::optional<QString> channel)
{
    if (assign(m_channel, std::move(channel)))
        Q_EMIT channelChanged();
}

void PlayerModel::setRequest(std::optional<QString> videoID, std::optional<QString> currentBase)
{
    if (videoID == m_videoID && currentBase == m_currentBase)
        return;
    m_videoID = std::move(videoID);
    m_currentBase = std::move(currentBase);
    Q_EMIT browserURLChanged();
}

} // namespace vireo
