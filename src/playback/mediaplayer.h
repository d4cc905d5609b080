// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>

struct mpv_handle;

namespace vireo {

// One stream in a native media player (an mpv core of its own), and the one door to it: whoever
// plays, pauses, seeks or sets the volume (the surface, MPRIS, the model) goes through here, so that
// each sees what the others did. Nothing plays until play(); the item's status is one of three
// values, and a failure after it was ready still shows, because the window must show it.
//
// Nothing here blocks the calling thread: the core is driven by asynchronous calls, and what it
// does comes back as events on the event loop. Until a view draws it, a player decodes into no
// output; a view gives it one (VideoView).
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
    Q_PROPERTY(int videoHeight READ videoHeight NOTIFY videoHeightChanged FINAL)
public:
    enum class ItemStatus { Unknown, ReadyToPlay, Failed };
    Q_ENUM(ItemStatus)
    enum class State { Stopped, Playing, Paused };
    Q_ENUM(State)

    // Starts loading at once, paused, so that its first picture is decoded by the time it is ready;
    // `audio`, when given, is the sound of a picture-only stream. Dropping the last reference retires
    // the player: it falls silent at once and is torn down off this thread, so it may be dropped
    // from its own signals.
    static std::shared_ptr<MediaPlayer> create(const QUrl &url, const QUrl &audio = {});
    // A player made ahead of a window's first link, with nothing of its own to play: a view given it
    // draws a picture of nothing, unseen, so that its drawing context and the programs that draw
    // pictures are made before the link comes. open() then loads a stream into it, paused, as
    // create() would into a new player, or returns false when it is no spare (any more) or failed.
    static std::shared_ptr<MediaPlayer> createSpare();
    bool open(const QUrl &url, const QUrl &audio = {});
    ~MediaPlayer() override;

    // mpv reads numbers with the C library's locale and refuses to start under any other: call once
    // before threads start. create() makes sure of it too.
    static void prepare();

    // Whether an item was made for the URL; an empty or malformed URL has none.
    [[nodiscard]] bool hasItem() const { return m_mpv && m_hasItem; }
    [[nodiscard]] ItemStatus status() const { return m_status; }
    [[nodiscard]] bool failed() const { return m_status == ItemStatus::Failed; }
    [[nodiscard]] QString errorString() const { return m_errorString; }

    [[nodiscard]] State state() const;
    [[nodiscard]] bool playing() const { return state() == State::Playing; }
    // In milliseconds.
    [[nodiscard]] qint64 position() const { return m_position; }
    [[nodiscard]] qint64 duration() const { return m_duration; }
    [[nodiscard]] bool seekable() const { return m_seekable; }
    [[nodiscard]] double rate() const { return m_rate; }
    [[nodiscard]] float volume() const { return m_volume; }
    // Of the picture being decoded; 0 until there is one.
    [[nodiscard]] int videoHeight() const { return m_videoHeight; }
    // Whether it waits for the network to catch up.
    [[nodiscard]] bool waiting() const { return m_waiting; }
    // Whether a seek is under way: its picture is not the one asked for yet.
    [[nodiscard]] bool seeking() const { return m_seeking; }

    Q_INVOKABLE void play();
    Q_INVOKABLE void pause();
    // To `ms`, kept within the video; nothing when it cannot seek.
    Q_INVOKABLE void seek(qint64 ms);
    void setRate(double rate);
    // Linear, 0 to 1, as people hear it.
    void setVolume(float volume);
    void setMuted(bool muted);
    // It goes on with the video of the player its views showed before (another quality): until it
    // has a picture of its own, they keep the one they have rather than going black.
    void continues() { m_continues = true; }
    [[nodiscard]] bool continuing() const { return m_continues; }

    // The codecs this machine decodes, by the start of their names in an answer, lightest first
    // (H.264 before VP9 before AV1): video, then audio.
    [[nodiscard]] static std::pair<QStringList, QStringList> decodable();

    // How many players exist in the process, counting those still being torn down: at most a spare,
    // a candidate and an accepted one per window.
    [[nodiscard]] static int liveCount();

    // A view that draws will show it: it loads once the view's drawing context exists, so that its
    // first picture is decoded for that view, not decoded again when it is shown. Only until its
    // load has begun, which is at the next turn of the event loop; a view that doesn't draw within
    // a second doesn't hold it back longer.
    void awaitView();

    // For the view's renderer, on the render thread while this thread waits for it (the scene
    // graph's synchronisation): the core to draw, whether a view may draw it, that a view made its
    // drawing context, and whether that context may now be freed.
    [[nodiscard]] mpv_handle *handle() const { return m_mpv; }
    [[nodiscard]] bool drawable() const { return m_mpv && !m_retiring; }
    void adoptedByView() { m_drawn = true; }
    [[nodiscard]] bool releasable() const { return m_retiring && !m_voConfigured; }
    // Whether a view's context draws it and its core still shows a picture there.
    [[nodiscard]] bool shownByView() const { return m_drawn && m_voConfigured; }
    // A spare's pictures are drawn only so that the renderer is made.
    [[nodiscard]] bool warming() const { return m_warming; }

Q_SIGNALS:
    void statusChanged(vireo::MediaPlayer::ItemStatus status);
    void stateChanged();
    void positionChanged();
    void durationChanged();
    void seekableChanged();
    void rateChanged();
    void videoHeightChanged();
    void waitingChanged();
    // At the end of the video; it stays on its last picture.
    void ended();
    // A seek, from wherever it was asked for.
    void seeked(qint64 ms);
    // A new picture is there to draw, or its drawing context may be freed: its view should render.
    void frameReady();

public Q_SLOTS:
    // From the view's renderer once its drawing context exists, or is freed.
    void viewContextMade();
    void viewContextFreed();

private Q_SLOTS:
    void drain();
    void load();

private:
    MediaPlayer(const QUrl &url, const QUrl &audio);
    void handleProperty(quint64 id, const void *data);
    void ready();
    void fail(const QString &message);
    void retire();
    void destroyCore();
    void set(const char *name, const char *value);
    void setPaused(bool paused);
    // The core's seek to `ms`, `how` as its command takes it ("absolute", "absolute+exact").
    void moveTo(qint64 ms, const char *how);
    // A seek came to its picture, or to nothing.
    void settled();
    // Whether the events read are of the last item loaded, not of one it replaced.
    [[nodiscard]] bool current() const { return m_starts == m_loads; }

    mpv_handle *m_mpv = nullptr;
    QByteArray m_address;
    const char *m_format = nullptr; // how to read it, when it can't be probed
    bool m_hasItem = false;
    bool m_needsSound = false;
    bool m_loadBegun = false;
    bool m_awaitsView = false;
    bool m_warming = false;
    int m_loads = 0;
    int m_starts = 0;
    ItemStatus m_status = ItemStatus::Unknown;
    QString m_errorString;
    bool m_loaded = false;
    bool m_paused = true;
    bool m_ended = false;
    bool m_waiting = false;
    bool m_seeking = false;
    int m_seeksUnanswered = 0; // seek commands the core has not yet taken
    bool m_voConfigured = false;
    qint64 m_position = 0;
    qint64 m_duration = 0;
    bool m_seekable = false;
    double m_rate = 1.0;
    float m_volume = 1.0f;
    int m_videoHeight = 0;
    bool m_continues = false;
    bool m_drawn = false;    // a view has (or is making) a drawing context for it
    bool m_retiring = false;
    bool m_draining = false;
};

} // namespace vireo
