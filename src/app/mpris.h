// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

namespace vireo {

class MediaPlayer;
class PlayerModel;
class VireoApp;

// Vireo as an MPRIS 2 player (org.mpris.MediaPlayer2), for media keys and the desktop's media
// controls. It speaks for the window that last started playing: a native video is played, paused
// and sought; of an embedded one it reports what it knows.
class Mpris : public QObject
{
    Q_OBJECT
public:
    Mpris(QDBusConnection bus, VireoApp &app);

    // Registers the player on the bus under the name the convention asks for.
    bool start();
    void watch(PlayerModel *model);
    void forget(PlayerModel *model);

    // What the two D-Bus interfaces read and do.
    [[nodiscard]] QString playbackStatus() const;
    [[nodiscard]] QVariantMap metadata() const;
    [[nodiscard]] double volume() const;
    void setVolume(double volume);
    [[nodiscard]] double rate() const;
    // Within the speeds a window offers; anything else is not taken.
    void setRate(double rate);
    [[nodiscard]] qlonglong position() const; // microseconds, as MPRIS counts
    [[nodiscard]] qlonglong length() const;
    [[nodiscard]] bool canPlay() const { return player() != nullptr; }
    [[nodiscard]] bool canSeek() const;
    [[nodiscard]] bool canGoNext() const;
    [[nodiscard]] bool canGoPrevious() const;
    void next();
    void previous();
    void play();
    void pause();
    void playPause();
    void stop();
    void seek(qlonglong offset);
    void setPosition(const QDBusObjectPath &track, qlonglong position);
    void openUri(const QString &uri);
    void raise();
    void quit();

Q_SIGNALS:
    void seeked(qlonglong position);

private:
    [[nodiscard]] PlayerModel *current() const { return m_started.isEmpty() ? nullptr : m_started.last().get(); }
    [[nodiscard]] MediaPlayer *player() const;
    [[nodiscard]] QDBusObjectPath track() const;
    void started(PlayerModel *model);
    void moveTo(qlonglong position);
    void refresh();

    QDBusConnection m_bus;
    VireoApp &m_app;
    QList<QPointer<PlayerModel>> m_started; // in the order they last started playing
    QHash<const PlayerModel *, quint64> m_tracks;
    quint64 m_lastTrack = 0;
    QVariantMap m_published;
};

} // namespace vireo
