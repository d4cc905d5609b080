// SPDX-License-Identifier: MIT
#include "mpris.h"

#include "playback/playermodel.h"
#include "sources/link.h"
#include "vireoapp.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QQuickWindow>

using namespace Qt::StringLiterals;

namespace vireo {
namespace {

const QString ObjectPath = u"/org/mpris/MediaPlayer2"_s;

class RootInterface : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(QString Identity READ identity CONSTANT)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry CONSTANT)
    Q_PROPERTY(bool CanQuit READ yes CONSTANT)
    Q_PROPERTY(bool CanRaise READ yes CONSTANT)
    Q_PROPERTY(bool HasTrackList READ no CONSTANT)
    Q_PROPERTY(QStringList SupportedUriSchemes READ uriSchemes CONSTANT)
    Q_PROPERTY(QStringList SupportedMimeTypes READ mimeTypes CONSTANT)
public:
    explicit RootInterface(Mpris *mpris)
        : QDBusAbstractAdaptor(mpris)
        , m_mpris(mpris)
    {
    }
    QString identity() const { return u"Vireo"_s; }
    QString desktopEntry() const { return u"org.vireo.Vireo"_s; }
    bool yes() const { return true; }
    bool no() const { return false; }
    QStringList uriSchemes() const { return {u"https"_s, u"http"_s}; }
    QStringList mimeTypes() const { return {}; }

public Q_SLOTS:
    void Raise() { m_mpris->raise(); }
    void Quit() { m_mpris->quit(); }

private:
    Mpris *m_mpris;
};

class PlayerInterface : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ minimumRate)
    Q_PROPERTY(double MaximumRate READ maximumRate)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPlay)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ yes)
public:
    explicit PlayerInterface(Mpris *mpris)
        : QDBusAbstractAdaptor(mpris)
        , m_mpris(mpris)
    {
        connect(mpris, &Mpris::seeked, this, &PlayerInterface::Seeked);
    }
    QString playbackStatus() const { return m_mpris->playbackStatus(); }
    QVariantMap metadata() const { return m_mpris->metadata(); }
    double volume() const { return m_mpris->volume(); }
    void setVolume(double volume) { m_mpris->setVolume(volume); }
    qlonglong position() const { return m_mpris->position(); }
    double rate() const { return m_mpris->rate(); }
    void setRate(double rate) { m_mpris->setRate(rate); }
    double minimumRate() const { return PlayerModel::speeds().first(); }
    double maximumRate() const { return PlayerModel::speeds().last(); }
    bool yes() const { return true; }
    bool no() const { return false; }
    bool canPlay() const { return m_mpris->canPlay(); }
    bool canSeek() const { return m_mpris->canSeek(); }
    bool canGoNext() const { return m_mpris->canGoNext(); }
    bool canGoPrevious() const { return m_mpris->canGoPrevious(); }

public Q_SLOTS:
    void Play() { m_mpris->play(); }
    void Pause() { m_mpris->pause(); }
    void PlayPause() { m_mpris->playPause(); }
    void Stop() { m_mpris->stop(); }
    void Next() { m_mpris->next(); }
    void Previous() { m_mpris->previous(); }
    void Seek(qlonglong Offset) { m_mpris->seek(Offset); }
    void SetPosition(const QDBusObjectPath &TrackId, qlonglong Position) { m_mpris->setPosition(TrackId, Position); }
    void OpenUri(const QString &Uri) { m_mpris->openUri(Uri); }

Q_SIGNALS:
    void Seeked(qlonglong Position);

private:
    Mpris *m_mpris;
};

} // namespace

Mpris::Mpris(QDBusConnection bus, VireoApp &app)
    : m_bus(std::move(bus))
    , m_app(app)
{
    new RootInterface(this);
    new PlayerInterface(this);
}

bool Mpris::start()
{
    refresh();
    // One Vireo runs per session; a second one, that found no first to hand its link to, takes a
    // name of its own.
    return m_bus.registerObject(ObjectPath, this)
        && (m_bus.registerService(u"org.mpris.MediaPlayer2.vireo"_s)
            || m_bus.registerService(u"org.mpris.MediaPlayer2.vireo.instance%1"_s.arg(QCoreApplication::applicationPid())));
}

void Mpris::watch(PlayerModel *model)
{
    connect(model, &PlayerModel::modeChanged, this, [this, model] {
        if (model->modeKind() == PlayerModel::Native || model->modeKind() == PlayerModel::Embed)
            m_tracks.insert(model, ++m_lastTrack);
        if (const MediaPlayer *player = model->player()) {
            connect(player, &MediaPlayer::stateChanged, this, [this, model, player, fresh = true]() mutable {
                if (player->playing()) {
                    started(model);
                    // A video that went on where it was left moved there before it first played.
                    if (std::exchange(fresh, false) && player->position() > 0)
                        Q_EMIT seeked(player->position() * 1000);
                }
                refresh();
            });
            connect(player, &MediaPlayer::durationChanged, this, &Mpris::refresh);
            connect(player, &MediaPlayer::seekableChanged, this, &Mpris::refresh);
            // Seeks made anywhere (keys, the seek bar, MPRIS) are told to the desktop.
            connect(player, &MediaPlayer::seeked, this, [this, player](qint64 ms) {
                if (this->player() == player)
                    Q_EMIT seeked(ms * 1000);
            });
        }
        refresh();
    });
    connect(model, &PlayerModel::loadingChanged, this, [this, model] {
        // An embedded player that loaded plays; nothing more is known of it.
        if (model->modeKind() == PlayerModel::Embed && !model->loading())
            started(model);
        refresh();
    });
    for (const auto changed : {&NowPlaying::titleChanged, &NowPlaying::channelChanged})
        connect(model->nowPlaying(), changed, this, &Mpris::refresh);
    for (const auto changed : {&PlayerModel::volumeChanged, &PlayerModel::speedChanged})
        connect(model, changed, this, &Mpris::refresh);
    connect(model->playlist(), &Playlist::placeChanged, this, &Mpris::refresh);
    connect(model, &QObject::destroyed, this, [this, model] { forget(model); });
}

void Mpris::forget(PlayerModel *model)
{
    m_started.removeIf([model](const QPointer<PlayerModel> &m) { return !m || m == model; });
    m_tracks.remove(model);
    refresh();
}

void Mpris::started(PlayerModel *model)
{
    m_started.removeIf([model](const QPointer<PlayerModel> &m) { return !m || m == model; });
    m_started.append(model); // the last to start playing is the one spoken for
}

MediaPlayer *Mpris::player() const
{
    return current() ? current()->player() : nullptr;
}

QDBusObjectPath Mpris::track() const
{
    return QDBusObjectPath(u"/org/vireo/Vireo/track/%1"_s.arg(m_tracks.value(current())));
}

QString Mpris::playbackStatus() const
{
    if (const MediaPlayer *p = player()) {
        switch (p->state()) {
        case MediaPlayer::State::Playing: return u"Playing"_s;
        case MediaPlayer::State::Paused: return u"Paused"_s;
        case MediaPlayer::State::Stopped: return u"Stopped"_s;
        }
    }
    const PlayerModel *model = current();
    return model && model->modeKind() == PlayerModel::Embed && !model->loading() ? u"Playing"_s : u"Stopped"_s;
}

QVariantMap Mpris::metadata() const
{
    const PlayerModel *model = current();
    const NowPlaying *video = model ? model->nowPlaying() : nullptr;
    if (!video || !m_tracks.contains(model) || video->videoID().isEmpty())
        return {{u"mpris:trackid"_s, QVariant::fromValue(QDBusObjectPath(u"/org/mpris/MediaPlayer2/TrackList/NoTrack"_s))}};
    QVariantMap map{{u"mpris:trackid"_s, QVariant::fromValue(track())}, {u"xesam:url"_s, watchPage(video->videoID()).toString()}};
    if (video->hasTitle())
        map.insert(u"xesam:title"_s, video->title());
    if (video->hasChannel())
        map.insert(u"xesam:artist"_s, QStringList{video->channel()});
    if (length() > 0)
        map.insert(u"mpris:length"_s, length());
    return map;
}

double Mpris::volume() const
{
    return current() ? current()->volume() : 1.0;
}

void Mpris::setVolume(double volume)
{
    if (PlayerModel *model = current())
        model->setVolume(volume);
}

double Mpris::rate() const
{
    return current() ? current()->speed() : 1.0;
}

void Mpris::setRate(double rate)
{
    if (PlayerModel *model = current())
        model->setSpeed(rate);
}

qlonglong Mpris::position() const
{
    return player() ? qlonglong(player()->position()) * 1000 : 0;
}

qlonglong Mpris::length() const
{
    return player() ? qlonglong(player()->duration()) * 1000 : 0;
}

bool Mpris::canSeek() const
{
    return player() && player()->seekable();
}

bool Mpris::canGoNext() const
{
    return current() && current()->playlist()->canGoNext();
}

bool Mpris::canGoPrevious() const
{
    return current() && current()->playlist()->canGoPrevious();
}

void Mpris::next()
{
    if (PlayerModel *model = current())
        model->next();
}

void Mpris::previous()
{
    if (PlayerModel *model = current())
        model->previous();
}

void Mpris::play()
{
    if (MediaPlayer *p = player())
        p->play();
}

void Mpris::pause()
{
    if (MediaPlayer *p = player())
        p->pause();
}

void Mpris::playPause()
{
    if (playbackStatus() == u"Playing"_s)
        pause();
    else
        play();
}

void Mpris::stop()
{
    // Stopping a pipeline blocks (see MediaPlayer::retire); back to the start and paused is the same
    // to whoever listens.
    pause();
    if (canSeek())
        moveTo(0);
}

void Mpris::seek(qlonglong offset)
{
    const qlonglong target = std::max<qlonglong>(0, position() + offset);
    // Past the end is where the next track would start, and there is none.
    if (canSeek() && target <= length())
        moveTo(target);
}

void Mpris::setPosition(const QDBusObjectPath &track, qlonglong position)
{
    if (canSeek() && track == this->track() && position >= 0 && position <= length())
        moveTo(position);
}

void Mpris::moveTo(qlonglong position)
{
    player()->seek(position / 1000);
}

void Mpris::openUri(const QString &uri)
{
    m_app.open(uri);
}

void Mpris::raise()
{
    if (QQuickWindow *window = m_app.windowOf(current())) {
        if (window->visibility() == QWindow::Minimized)
            window->showNormal();
        window->raise();
        window->requestActivate();
    }
}

void Mpris::quit()
{
    m_app.quit();
}

void Mpris::refresh()
{
    // Desktops follow the player through PropertiesChanged; the position is read when needed.
    const QVariantMap now{{u"PlaybackStatus"_s, playbackStatus()}, {u"Metadata"_s, metadata()}, {u"Volume"_s, volume()}, {u"Rate"_s, rate()},
                          {u"CanPlay"_s, canPlay()}, {u"CanPause"_s, canPlay()}, {u"CanSeek"_s, canSeek()},
                          {u"CanGoNext"_s, canGoNext()}, {u"CanGoPrevious"_s, canGoPrevious()}};
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (m_published.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    m_published = now;
    if (changed.isEmpty())
        return;
    auto signal = QDBusMessage::createSignal(ObjectPath, u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s);
    signal << u"org.mpris.MediaPlayer2.Player"_s << changed << QStringList();
    m_bus.send(signal);
}

} // namespace vireo

#include "mpris.moc"
