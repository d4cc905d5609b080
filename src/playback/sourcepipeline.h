// SPDX-License-Identifier: MIT
#pragma once

#include "mediaplayer.h"
#include "instances/instance.h"
#include "net/cancellation.h"
#include "sources/videoinfo.h"

#include <QObject>
#include <QCoroTask>
#include <chrono>
#include <memory>
#include <optional>

namespace vireo {

// A stream that became ready to play, the instance that served it and what its answer said.
struct Source {
    std::shared_ptr<MediaPlayer> player;
    Instance instance;
    VideoInfo info;
};

// The search for a native stream of one request: every candidate instance as is and then local, one
// attempt after the other, each answer's stream in a candidate player until one becomes ready. At
// most one candidate exists at a time. It reports as it goes and changes nothing else; a request
// that is called off ends at its next check, its candidate let go at once.
class SourcePipeline : public QObject
{
    Q_OBJECT
public:
    SourcePipeline(QString id, std::chrono::milliseconds readiness, CancelToken cancel);

    // The first source that becomes ready; nothing when every attempt failed or the request was
    // called off.
    QCoro::Task<std::optional<Source>> run(QList<Instance> candidates);

Q_SIGNALS:
    // Before each attempt.
    void statusChanged(const QString &status);
    // Each answer an instance gave, whether or not its stream plays.
    void answered(const vireo::VideoInfo &info);

private:
    // The player of `stream` once it is ready; nothing when it is not, or the request was called off
    // (even just after it became ready).
    QCoro::Task<std::shared_ptr<MediaPlayer>> candidate(QUrl stream);

    const QString m_id;
    const std::chrono::milliseconds m_readiness;
    const CancelToken m_cancel;
};

} // namespace vireo
