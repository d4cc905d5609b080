// SPDX-License-Identifier: MIT
#pragma once

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QVideoSink>
#include <memory>

namespace vireo {

// One stream in a native media player, and the one door to it: whoever plays, pauses, seeks or sets
// the volume (the surface, MPRIS, the model) goes through here, so that each sees what the others
// did. Nothing plays until play(); the item's status is one of three values, and a failure after it
// was ready still shows, because the window must show it.
class MediaPlayer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool failed READ failed NOTIFY statusChanged FINAL)
    Q_PROPERTY(QString errorString READ errorString NOTIFY statusChanged FINAL)
    Q_PROPERTY(bool playing READ playing NOTIFY stateChanged FINAL)
    Q_PROPERTY(qint64 position READ position NOTIFY positionChanged FINAL)
    Q_PROPERTY(qint64 duration READ duration NOTIFY durationChanged FINAL)
    Q_PROPERTY(bool seekable READ seekable NOTIFY seekableChanged FINAL)
    Q_PROPERTY(double rate READ rate NOTIFY rateChanged FINAL)
public:
    enum class ItemStatus { Unknown, ReadyToPlay, Failed };
    Q_ENUM(ItemStatus)
    enum class State { Stopped, Playing, Paused };
    Q_ENUM(State)

    // Starts loading at once, paused, so that the first picture is on its sink by the time it is
    // ready. Dropping the last reference retires the player: it falls silent at once and is torn
    // down a moment later, from the event loop, so it may be dropped from its own signals.
    static std::shared_ptr<MediaPlayer> create(const QUrl &url);
    ~MediaPlayer() override;

    // Whether an item was made for the URL; an empty or malformed URL has none.
    [[nodiscard]] bool hasItem() const { return m_hasItem; }
    [[nodiscard]] ItemStatus status() const { return m_status; }
    [[nodiscard]] bool failed() const { return m_status == ItemStatus::Failed; }
    [[nodiscard]] QString errorString() const { return m_errorString; }

    [[nodiscard]] State state() const;
    [[nodiscard]] bool playing() const { return state() == State::Playing; }
    // In milliseconds.
    [[nodiscard]] qint64 position() const { return m_player->position(); }
    [[nodiscard]] qint64 duration() const { return m_player->duration(); }
    [[nodiscard]] bool seekable() const { return m_player->isSeekable(); }
    [[nodiscard]] double rate() const { return m_player->playbackRate(); }
    [[nodiscard]] float volume() const { return m_audio->volume(); }

    Q_INVOKABLE void play();
    Q_INVOKABLE void pause();
    // To `ms`, kept within the video; nothing when it cannot seek. Before the first play, the first
    // picture a view gets is then the one there, not the first of the video.
    Q_INVOKABLE void seek(qint64 ms);
    void setRate(double rate) { m_player->setPlaybackRate(rate); }
    void setVolume(float volume) { m_audio->setVolume(volume); }
    void setMuted(bool muted) { m_audio->setMuted(muted); }
    // Shows the pictures on a view's sink too. The player renders to a sink of its own, so views may
    // come and go without the pipeline being rebuilt (which blocks while a frame is on its way).
    Q_INVOKABLE void showOn(QVideoSink *sink);
    // It goes on with the video of the player its views showed before (another quality): until it
    // has a picture of its own, they keep the one they have rather than going black.
    void continues() { m_continues = true; }

    // The codecs this machine decodes, by the start of their names in a manifest, lightest first
    // (H.264 before VP9 before AV1): video, then audio.
    [[nodiscard]] static std::pair<QStringList, QStringList> decodable();

    // How many players exist in the process: at most one candidate and one accepted per window.
    [[nodiscard]] static int liveCount();

Q_SIGNALS:
    void statusChanged(vireo::MediaPlayer::ItemStatus status);
    void stateChanged();
    void positionChanged();
    void durationChanged();
    void seekableChanged();
    void rateChanged();
    // A seek, from wherever it was asked for.
    void seeked(qint64 ms);

private:
    explicit MediaPlayer(const QUrl &url);
    void fail(const QString &message);
    void retire();

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_audio = nullptr;
    QVideoSink *m_sink = nullptr;
    bool m_hasItem = false;
    ItemStatus m_status = ItemStatus::Unknown;
    QString m_errorString;
    bool m_continues = false;
    bool m_fresh = false;
};

} // namespace vireo
