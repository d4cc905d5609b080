// SPDX-License-Identifier: MIT
#pragma once

#include "captions.h"
#include "history.h"
#include "oneshot.h"
#include "playbackmode.h"
#include "readiness.h"
#include "sourcepipeline.h"
#include "net/cancellation.h"

#include <QObject>
#include <QUrl>
#include <QCoroTask>
#include <chrono>
#include <climits>
#include <memory>
#include <optional>

namespace vireo {

// All playback state of one window. Shared by its window and its running request; the request
// keeps it alive until it ends, the embed time-out only weakly.
class PlayerModel : public QObject, public std::enable_shared_from_this<PlayerModel>
{
    Q_OBJECT
    Q_PROPERTY(QString urlText READ urlText WRITE setUrlText NOTIFY urlTextChanged FINAL)
    Q_PROPERTY(ModeKind modeKind READ modeKind NOTIFY modeChanged FINAL)
    Q_PROPERTY(vireo::MediaPlayer *player READ player NOTIFY modeChanged FINAL)
    Q_PROPERTY(QString embedVideoID READ embedVideoID NOTIFY modeChanged FINAL)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged FINAL)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged FINAL)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged FINAL)
    Q_PROPERTY(QString title READ title NOTIFY titleChanged FINAL)
    Q_PROPERTY(bool hasTitle READ hasTitle NOTIFY titleChanged FINAL)
    Q_PROPERTY(QString channel READ channel NOTIFY channelChanged FINAL)
    Q_PROPERTY(bool hasChannel READ hasChannel NOTIFY channelChanged FINAL)
    Q_PROPERTY(QUrl browserURL READ browserURL NOTIFY browserURLChanged FINAL)
    Q_PROPERTY(QString videoID READ videoID NOTIFY browserURLChanged FINAL)
    // Kept in the settings, and carried from each video to the next.
    Q_PROPERTY(double volume READ volume WRITE setVolume NOTIFY volumeChanged FINAL)
    Q_PROPERTY(bool muted READ muted WRITE setMuted NOTIFY mutedChanged FINAL)
    // Carried from each video of the window to the next, not to the next start.
    Q_PROPERTY(double speed READ speed WRITE setSpeed NOTIFY speedChanged FINAL)
    Q_PROPERTY(QList<double> speeds READ speeds CONSTANT FINAL)
    // The tallest video to play: 0 for the single-file stream, else a cap on the adaptive streams.
    // Kept in the settings; changing it switches the video that plays, where it is.
    Q_PROPERTY(int maxHeight READ maxHeight WRITE setMaxHeight NOTIFY maxHeightChanged FINAL)
    // What plays: "360p", "1080p"; empty when not known.
    Q_PROPERTY(QString quality READ quality NOTIFY qualityChanged FINAL)
    // The choices of maxHeight: maps with "text" and "height".
    Q_PROPERTY(QVariantList qualities READ qualities CONSTANT FINAL)
    // An Invidious instance of the user's own, tried before the directory's; empty for none.
    Q_PROPERTY(QString preferredInstance READ preferredInstance WRITE setPreferredInstance NOTIFY preferredInstanceChanged FINAL)
    // The captions of the video that plays natively.
    Q_PROPERTY(vireo::Captions *captions READ captions CONSTANT FINAL)
    Q_PROPERTY(vireo::History *history READ history CONSTANT FINAL)
    // Where the link asks the video to start, in seconds; -1 when it does not.
    Q_PROPERTY(int startTime READ startTime NOTIFY startTimeChanged FINAL)
    // "23:10" when the video went on where it was left last time, until it starts over; else empty.
    Q_PROPERTY(QString resumedAt READ resumedAt NOTIFY resumedAtChanged FINAL)

public:
    enum ModeKind { Idle = PlaybackMode::Idle, Native = PlaybackMode::Native, Embed = PlaybackMode::Embed,
                    Failed = PlaybackMode::Failed };
    Q_ENUM(ModeKind)

    // The product's waits; a test may shorten them, and may name its own directory.
    struct Timing {
        std::chrono::milliseconds readiness = ReadinessTimeout;
        std::chrono::milliseconds embed = std::chrono::seconds(12);
        QUrl directory;
    };

    // Released with deleteLater, so the last holder may let go inside one of its signals.
    static std::shared_ptr<PlayerModel> create(const Timing &timing);
    static std::shared_ptr<PlayerModel> create();

    [[nodiscard]] QString urlText() const;
    void setUrlText(const QString &text);
    [[nodiscard]] const PlaybackMode &mode() const { return m_mode; }
    [[nodiscard]] ModeKind modeKind() const { return ModeKind(m_mode.kind); }
    [[nodiscard]] MediaPlayer *player() const { return m_mode.player.get(); }
    [[nodiscard]] QString embedVideoID() const { return m_mode.videoID; }
    [[nodiscard]] bool loading() const { return m_loading; }
    [[nodiscard]] QString error() const { return m_error.value_or(QString()); }
    [[nodiscard]] QString status() const { return m_status; }
    [[nodiscard]] QString title() const { return m_title.value_or(QString()); }
    [[nodiscard]] bool hasTitle() const { return m_title.has_value(); }
    [[nodiscard]] QString channel() const { return m_channel.value_or(QString()); }
    [[nodiscard]] bool hasChannel() const { return m_channel.has_value(); }
    [[nodiscard]] QUrl browserURL() const;
    // The video of the current request; empty when there is none.
    [[nodiscard]] QString videoID() const { return m_videoID.value_or(QString()); }
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
    [[nodiscard]] int maxHeight() const;
    void setMaxHeight(int height);
    [[nodiscard]] QString quality() const;
    [[nodiscard]] static QVariantList qualities();
    [[nodiscard]] QString preferredInstance() const;
    // Empty, or an address isInstanceAddress() accepts; anything else is not kept.
    void setPreferredInstance(const QString &address);
    Q_INVOKABLE static bool isInstanceAddress(const QString &address);
    [[nodiscard]] Captions *captions() const { return m_captions; }
    [[nodiscard]] static History *history() { return &History::instance(); }
    [[nodiscard]] int startTime() const { return m_start ? int(std::min<qint64>(*m_start, INT_MAX)) : -1; }
    [[nodiscard]] QString resumedAt() const;
    // Back to the beginning of a video that went on where it was left.
    Q_INVOKABLE void startOver();

    // Starts a request for the link in urlText, superseding any running one.
    Q_INVOKABLE void play();
    // The embedded player's outcome; only the first report of a wait counts.
    Q_INVOKABLE void embedResult(bool ok);
    // The window is going: the request stops at its next check and nothing keeps playing.
    void cancel();

    static QString invalidLinkMessage();
    static QString failureMessage();

Q_SIGNALS:
    void urlTextChanged();
    void modeChanged();
    void loadingChanged();
    void errorChanged();
    void statusChanged(const QString &status);
    void titleChanged();
    void channelChanged();
    void browserURLChanged();
    void volumeChanged();
    void mutedChanged();
    void speedChanged();
    void maxHeightChanged();
    void qualityChanged();
    void preferredInstanceChanged();
    void resumedAtChanged();
    void startTimeChanged();
    // A stream has begun loading for the running request.
    void loadingStream();

private:
    explicit PlayerModel(const Timing &timing);

    static QCoro::Task<> run(std::shared_ptr<PlayerModel> self, QString id, CancelToken task);
    static QCoro::Task<> requality(std::shared_ptr<PlayerModel> self, CancelToken request, CancelToken swap);
    // Shows `source` as what plays natively.
    void accept(const Source &source);

    void setMode(PlaybackMode mode);
    void setLoading(bool loading);
    void setError(std::optional<QString> error);
    void setStatus(const QString &status);
    void setTitle(std::optional<QString> title);
    void setChannel(std::optional<QString> channel);
    void setRequest(std::optional<QString> videoID, std::optional<QString> currentBase);
    // The window's volume, mute and speed.
    void applyTo(MediaPlayer &player) const;
    // Keeps where the native video is, for the next time it plays.
    void leave() const;
    void setResumedAt(qint64 ms);

    const Timing m_timing;
    PlaybackMode m_mode;
    bool m_loading = false;
    std::optional<QString> m_error;
    QString m_status;
    std::optional<QString> m_title;
    std::optional<QString> m_channel;
    std::optional<QString> m_videoID;
    std::optional<QString> m_currentBase;
    CancelToken m_task;
    CancelToken m_switch; // a change of quality under way
    Source m_origin;      // the attempt and answer of what plays, for a change of quality
    std::optional<OneShot> m_embedContinuation;
    double m_volume;
    bool m_muted;
    double m_speed = 1.0;
    Captions *m_captions;
    QString m_link;                // as it was played
    std::optional<qint64> m_start; // seconds
    qint64 m_resumedAt = -1;       // ms
};

} // namespace vireo
