// SPDX-License-Identifier: MIT
#pragma once

#include "mediaplayer.h"
#include "instances/instance.h"
#include "net/cancellation.h"
#include "sources/videoinfo.h"

#include <QObject>
#include <QTemporaryFile>
#include <QCoroTask>
#include <chrono>
#include <memory>
#include <optional>

namespace vireo {

// A stream that became ready to play, the attempt that found it and what its answer said.
struct Source {
    std::shared_ptr<MediaPlayer> player;
    Instance instance;
    bool local = false;
    VideoInfo info;
    int height = 0; // of the video that plays; 0 when not known
};

// The search for a native stream of one request: every candidate instance as is and then local, one
// attempt after the other, each answer's streams in a candidate player until one becomes ready: with
// a height cap set, the adaptive manifest first (kept to the cap), then the single file. At most one
// candidate exists at a time. It reports as it goes and changes nothing else; a request that is
// called off ends at its next check, its candidate let go at once.
class SourcePipeline : public QObject
{
    Q_OBJECT
public:
    // `maxHeight` 0 plays the single-file stream only.
    SourcePipeline(QString id, std::chrono::milliseconds readiness, CancelToken cancel, int maxHeight);

    // The first source that becomes ready; nothing when every attempt failed or the request was
    // called off.
    QCoro::Task<std::optional<Source>> run(QList<Instance> candidates);
    // The streams of one answer, as an attempt tries them.
    QCoro::Task<std::optional<Source>> tryAnswer(Instance instance, bool local, VideoInfo info);

Q_SIGNALS:
    // Before each attempt.
    void statusChanged(const QString &status);
    // Each answer an instance gave, whether or not its stream plays.
    void answered(const vireo::VideoInfo &info);
    // A stream has begun loading in a player of its own.
    void loadingStream();

private:
    // The player of `stream` once it is ready; nothing when it is not, or the request was called off
    // (even just after it became ready). `keep` lives as long as the player.
    QCoro::Task<std::shared_ptr<MediaPlayer>> candidate(QUrl stream, QObject *keep = nullptr);
    // The answer's manifest kept to the cap, in a file of its own, with the height it plays.
    QCoro::Task<std::optional<std::pair<QTemporaryFile *, int>>> adaptive(QUrl manifest, bool local);

    const QString m_id;
    const std::chrono::milliseconds m_readiness;
    const CancelToken m_cancel;
    const int m_maxHeight;
};

} // namespace vireo
