// SPDX-License-Identifier: MIT
#pragma once

#include "nowplaying.h"
#include "playbackmode.h"
#include "playlist.h"
#include "requestrunner.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

namespace vireo {

// What one window shows of playback: its mode, whether a request runs, its status and error line,
// the video that plays now, and the volume, mute and speed that each of its videos plays at. Shared
// by its window and its running request; the request keeps it alive until it ends.
class PlayerModel : public QObject, public std::enable_shared_from_this<PlayerModel>
{
    Q_OBJECT
    // The link field's text, the same in every window.
    Q_PROPERTY(QString urlText READ urlText WRITE setUrlText NOTIFY urlTextChanged FINAL)
    Q_PROPERTY(ModeKind modeKind READ modeKind NOTIFY modeChanged FINAL)
    Q_PROPERTY(vireo::MediaPlayer *player READ player NOTIFY modeChanged FINAL)
    // The stream loading beside it, until it plays or is given up: a view may draw it from the start.
    Q_PROPERTY(vireo::MediaPlayer *candidate READ candidate NOTIFY candidateChanged FINAL)
    // Made ahead of the next link (prepare()), for a view to draw before it plays anything.
    Q_PROPERTY(vireo::MediaPlayer *spare READ spare NOTIFY spareChanged FINAL)
    Q_PROPERTY(QString embedVideoID READ embedVideoID NOTIFY modeChanged FINAL)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged FINAL)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged FINAL)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged FINAL)
    Q_PROPERTY(vireo::NowPlaying *nowPlaying READ nowPlaying CONSTANT FINAL)
    // The list the link named, when it named one.
    Q_PROPERTY(vireo::Playlist *playlist READ playlist CONSTANT FINAL)
    // Kept in the settings, and carried from each video to the next.
    Q_PROPERTY(double volume READ volume WRITE setVolume NOTIFY volumeChanged FINAL)
    Q_PROPERTY(bool muted READ muted WRITE setMuted NOTIFY mutedChanged FINAL)
    // Carried from each video of the window to the next, not to the next start.
    Q_PROPERTY(double speed READ speed WRITE setSpeed NOTIFY speedChanged FINAL)
    Q_PROPERTY(QList<double> speeds READ speeds CONSTANT FINAL)

public:
    enum ModeKind { Idle = PlaybackMode::Idle, Native = PlaybackMode::Native, Embed = PlaybackMode::Embed,
                    Failed = PlaybackMode::Failed };
    Q_ENUM(ModeKind)

    using Timing = RequestRunner::Timing;

    // Released with deleteLater, so the last holder may let go inside one of its signals.
    static std::shared_ptr<PlayerModel> create(const Timing &timing);
    static std::shared_ptr<PlayerModel> create();

    [[nodiscard]] QString urlText() const;
    void setUrlText(const QString &text);
    [[nodiscard]] ModeKind modeKind() const { return ModeKind(m_mode.kind); }
    [[nodiscard]] MediaPlayer *player() const { return m_mode.player.get(); }
    [[nodiscard]] MediaPlayer *candidate() const { return m_candidate; }
    [[nodiscard]] MediaPlayer *spare() const { return m_spare.get(); }
    [[nodiscard]] QString embedVideoID() const { return m_mode.videoID; }
    [[nodiscard]] bool loading() const { return m_loading; }
    [[nodiscard]] QString error() const { return m_error.value_or(QString()); }
    [[nodiscard]] QString status() const { return m_status; }
    [[nodiscard]] NowPlaying *nowPlaying() const { return m_nowPlaying; }
    [[nodiscard]] Playlist *playlist() const { return m_playlist; }
    [[nodiscard]] double volume() const { return m_volume; }
    void setVolume(double volume);
    [[nodiscard]] bool muted() const { return m_muted; }
    void setMuted(bool muted);
    [[nodiscard]] double speed() const { return m_speed; }
    // One of speeds(), or anything between the slowest and the fastest; anything else is not taken.
    void setSpeed(double speed);
    [[nodiscard]] static QList<double> speeds() { return {0.5, 0.75, 1.0, 1.25, 1.5, 2.0}; }
    // To the next speed of speeds() up (steps > 0) or down.
    Q_INVOKABLE void stepSpeed(int steps);

    // Starts a request for the link in urlText, superseding any running one.
    Q_INVOKABLE void play();
    // Starts a request for `link`, read already, superseding any running one.
    void play(const Link &link);
    // The list's video at `row`, the next one, the one before (or the start of this one, more than
    // 3 s into it).
    Q_INVOKABLE void playEntry(int row);
    Q_INVOKABLE void next();
    Q_INVOKABLE void previous();
    // The embedded player's outcome; only the first report of a wait counts.
    Q_INVOKABLE void embedResult(bool ok);
    // The window is going: the request stops at its next check and the video is let go.
    void cancel();
    // A player for the next link, made while the window has nothing to play: the link's stream loads
    // into it, which spares it the making of a player and of its view's renderer.
    Q_INVOKABLE void prepare();

    static QString invalidLinkMessage();
    static QString failureMessage();
    static QString playlistFailureMessage();

Q_SIGNALS:
    void urlTextChanged();
    void modeChanged();
    void candidateChanged();
    void spareChanged();
    void loadingChanged();
    void errorChanged();
    void statusChanged(const QString &status);
    void volumeChanged();
    void mutedChanged();
    void speedChanged();
    // A stream has begun loading for the running request.
    void loadingStream();

private:
    explicit PlayerModel(const Timing &timing);

    void start(std::optional<Link> link);
    // Plays `link`'s video, or waits for its list's first one; the list itself is left as it is.
    void open(const std::optional<Link> &link);
    // Stops the request and lets go of the video.
    void halt();
    void listStarts(int row);
    void ended();
    // Shows `source` as what plays natively.
    void accept(const Source &source, bool fresh);
    void embedEnded(bool ok);
    void requalified(const Source &source);

    void setMode(PlaybackMode mode);
    void setCandidate(MediaPlayer *player);
    void setSpare(std::shared_ptr<MediaPlayer> spare);
    void setLoading(bool loading);
    void setError(std::optional<QString> error);
    void setStatus(const QString &status);
    // The window's volume, mute and speed.
    void applyTo(MediaPlayer &player) const;

    PlaybackMode m_mode;
    QPointer<MediaPlayer> m_candidate;
    std::shared_ptr<MediaPlayer> m_spare;
    bool m_loading = false;
    std::optional<QString> m_error;
    QString m_status;
    double m_volume;
    bool m_muted;
    double m_speed = 1.0;
    NowPlaying *m_nowPlaying;
    RequestRunner *m_runner;
    Playlist *m_playlist;
    QTimer m_skip; // a list's video that no source plays is shown failed a moment, then skipped
    bool m_wantsNext = false; // Next was asked for before its row was loaded
};

} // namespace vireo
