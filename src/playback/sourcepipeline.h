// SPDX-License-Identifier: MIT
#pragma once

#include "mediaplayer.h"
#include "net/cancellation.h"
#include "sources/sourcefamily.h"

#include <QObject>
#include <QCoroTask>
#include <chrono>
#include <memory>
#include <optional>

namespace vireo {

// A stream that became ready to play, the attempt that found it and what its answer said.
struct Source {
    std::shared_ptr<MediaPlayer> player;
    std::shared_ptr<Attempt> attempt;
    VideoInfo info;
    int height = 0; // of the video that plays; 0 when not known
};

// The search for a native stream of one request: the attempts a source family gave, in their order
// (their sources asked ahead when one is slow to answer), each answer's streams in a candidate player
// until one becomes ready. At most one candidate exists at a time. It reports as it goes and changes nothing else; a request that is called off
// ends at its next check, its candidate let go at once.
class SourcePipeline : public QObject
{
    Q_OBJECT
public:
    // `maxHeight` 0 plays the single-file stream only. `patience`: how long a source may leave its
    // answer unsent before the next one is asked too.
    SourcePipeline(std::chrono::milliseconds readiness, CancelToken cancel, int maxHeight,
                   std::chrono::milliseconds patience = std::chrono::seconds(2));

    // The first source that becomes ready; nothing when every attempt failed or the request was
    // called off.
    QCoro::Task<std::optional<Source>> run(QList<std::shared_ptr<Attempt>> attempts);
    // The streams of one answer, as an attempt tries them.
    QCoro::Task<std::optional<Source>> tryAnswer(std::shared_ptr<Attempt> attempt, VideoInfo info);
    // The first candidate loads into it, if it is still a spare (MediaPlayer::createSpare).
    void useSpare(std::shared_ptr<MediaPlayer> spare) { m_spare = std::move(spare); }

Q_SIGNALS:
    // As the sources asked change: "Trying a, b…".
    void statusChanged(const QString &status);
    // Each answer an instance gave, whether or not its stream plays.
    void answered(const vireo::VideoInfo &info);
    // A stream has begun loading in a player of its own.
    void loadingStream(vireo::MediaPlayer *player);

private:
    // The player of `stream` once it is ready; nothing when it is not, or the request was called off
    // (even just after it became ready).
    QCoro::Task<std::shared_ptr<MediaPlayer>> candidate(Stream stream);

    const std::chrono::milliseconds m_readiness;
    const std::chrono::milliseconds m_patience;
    const CancelToken m_cancel;
    const int m_maxHeight;
    std::shared_ptr<MediaPlayer> m_spare;
};

} // namespace vireo
