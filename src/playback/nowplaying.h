// SPDX-License-Identifier: MIT
#pragma once

#include "captions.h"
#include "chapters.h"
#include "segments.h"
#include "sourcepipeline.h"
#include "sources/link.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <climits>
#include <optional>

namespace vireo {

// The video of a window's current request: what it is and where it is shown from, its title and
// channel as the first answer named them, the quality that plays, its captions, chapters and
// segments, and where it goes on from. What belongs to one video attaches here.
class NowPlaying : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString videoID READ videoID NOTIFY videoChanged FINAL)
    Q_PROPERTY(QUrl browserURL READ browserURL NOTIFY videoChanged FINAL)
    Q_PROPERTY(QString title READ title NOTIFY titleChanged FINAL)
    Q_PROPERTY(bool hasTitle READ hasTitle NOTIFY titleChanged FINAL)
    Q_PROPERTY(QString channel READ channel NOTIFY channelChanged FINAL)
    Q_PROPERTY(bool hasChannel READ hasChannel NOTIFY channelChanged FINAL)
    // What plays: "360p", "1080p", "720p (slow network)" when stepped down; empty when not known.
    Q_PROPERTY(QString quality READ quality NOTIFY qualityChanged FINAL)
    Q_PROPERTY(vireo::Captions *captions READ captions CONSTANT FINAL)
    Q_PROPERTY(vireo::Chapters *chapters READ chapters CONSTANT FINAL)
    Q_PROPERTY(vireo::Segments *segments READ segments CONSTANT FINAL)
    // Where the link asks the video to start, in seconds; -1 when it does not.
    Q_PROPERTY(int startTime READ startTime NOTIFY videoChanged FINAL)
    // "23:10" when the video went on where it was left last time, until it starts over; else empty.
    Q_PROPERTY(QString resumedAt READ resumedAt NOTIFY resumedAtChanged FINAL)

public:
    explicit NowPlaying(QObject *parent = nullptr);

    // The video of the current request; empty when there is none.
    [[nodiscard]] QString videoID() const { return m_link ? m_link->videoID : QString(); }
    [[nodiscard]] QUrl browserURL() const;
    [[nodiscard]] QString title() const { return m_title.value_or(QString()); }
    [[nodiscard]] bool hasTitle() const { return m_title.has_value(); }
    [[nodiscard]] QString channel() const { return m_channel.value_or(QString()); }
    [[nodiscard]] bool hasChannel() const { return m_channel.has_value(); }
    [[nodiscard]] QString quality() const;
    [[nodiscard]] Captions *captions() const { return m_captions; }
    [[nodiscard]] Chapters *chapters() const { return m_chapters; }
    [[nodiscard]] Segments *segments() const { return m_segments; }
    [[nodiscard]] int startTime() const { return m_link && m_link->start ? int(std::min<qint64>(*m_link->start, INT_MAX)) : -1; }
    [[nodiscard]] QString resumedAt() const;
    // The attempt and answer of what plays natively, for another quality of it.
    [[nodiscard]] const Source &source() const { return m_source; }

    // A new request, for `link`, or for nothing when the text named no video.
    void begin(std::optional<Link> link);
    // An answer of the request's; the first that names the title and channel wins.
    void answered(const VideoInfo &info);
    // `source` plays natively; with `fresh`, it starts where the link asks, else where it was left.
    void accept(const Source &source, bool fresh);
    // Keeps where the native video is, for the next time it plays.
    void leave() const;
    // Back to the beginning of a video that went on where it was left.
    Q_INVOKABLE void startOver();

Q_SIGNALS:
    void videoChanged();
    void titleChanged();
    void channelChanged();
    void qualityChanged();
    void resumedAtChanged();
    // Playback waited for the network twice within a while: the same video at no more than
    // `maxHeight` would do better.
    void stepDown(int maxHeight);

private:
    void waiting();
    void setTitle(std::optional<QString> title);
    void setChannel(std::optional<QString> channel);
    void setResumedAt(qint64 ms);

    std::optional<Link> m_link;
    Source m_source; // without its player, which the window's mode holds
    QPointer<MediaPlayer> m_player;
    std::optional<QString> m_title;
    std::optional<QString> m_channel;
    qint64 m_resumedAt = -1; // ms
    QList<QDeadlineTimer> m_waits; // when playback waited for the network lately, each until it is forgotten
    bool m_steppingDown = false;
    bool m_slow = false; // what plays was stepped down to
    Captions *m_captions;
    Chapters *m_chapters;
    Segments *m_segments;
};

} // namespace vireo
