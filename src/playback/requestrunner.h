// SPDX-License-Identifier: MIT
#pragma once

#include "oneshot.h"
#include "readiness.h"
#include "sourcepipeline.h"
#include "net/cancellation.h"

#include <QObject>
#include <QUrl>
#include <QCoroTask>
#include <chrono>
#include <memory>
#include <optional>

namespace vireo {

// One window's requests, one at a time: from a video ID to the sources' attempts, to a stream that
// plays natively, else the embedded player, else the failure. It says how far it got and what it
// found; the window shows it. A new request, or cancel(), ends the running one at its next check.
class RequestRunner : public QObject
{
    Q_OBJECT
public:
    // The product's waits; a test may shorten them, and may name its own directory.
    struct Timing {
        std::chrono::milliseconds readiness = ReadinessTimeout;
        std::chrono::milliseconds embed = std::chrono::seconds(12);
        QUrl directory;
        // How long a source may leave its answer unsent before the next one is asked too.
        std::chrono::milliseconds askAhead = std::chrono::seconds(2);
    };

    RequestRunner(const Timing &timing, QObject *parent);

    // Runs a request for video `id`, superseding any running one. `hold` is kept until it ends.
    void start(const QString &id, std::shared_ptr<void> hold, std::shared_ptr<MediaPlayer> spare = nullptr);
    // Readies `source`'s video at no more than `maxHeight`, beside the one that plays.
    void requality(const Source &source, int maxHeight, std::shared_ptr<void> hold);
    // The embedded player's outcome; only the first report of a wait counts.
    void embedResult(bool ok);
    // Ends the running request and any change of quality; a pending embed wait fails.
    void cancel();

Q_SIGNALS:
    void statusChanged(const QString &status);
    // Each answer a source gave, whether or not its stream plays.
    void answered(const vireo::VideoInfo &info);
    // A stream has begun loading for the running request, or for a change of quality.
    void loadingStream(vireo::MediaPlayer *player);
    // The request's stream is ready to play natively.
    void accepted(const vireo::Source &source);
    // No stream was: the embedded player is to show the video now, and report through embedResult().
    void embedding(const QString &id);
    // The embedded player played, or failed too, and so did the request.
    void embedEnded(bool ok);
    // The other quality is ready, to take the place of the one that plays.
    void requalified(const vireo::Source &source);

private:
    QCoro::Task<> run(QString id, CancelToken task, std::shared_ptr<void> hold, std::shared_ptr<MediaPlayer> spare);
    QCoro::Task<> requalify(Source source, int maxHeight, CancelToken request, CancelToken swap, std::shared_ptr<void> hold);

    const Timing m_timing;
    CancelToken m_task;
    CancelToken m_switch; // a change of quality under way
    std::optional<OneShot> m_embedContinuation;
};

} // namespace vireo
