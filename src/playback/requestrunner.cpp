// SPDX-License-Identifier: MIT
#include "requestrunner.h"

#include "settings.h"
#include "sources/invidiousfamily.h"

#include <QTimer>

using namespace Qt::StringLiterals;

namespace vireo {

RequestRunner::RequestRunner(const Timing &timing, QObject *parent)
    : QObject(parent)
    , m_timing(timing)
{
}

void RequestRunner::start(const QString &id, std::shared_ptr<void> hold, std::shared_ptr<MediaPlayer> spare)
{
    cancel();
    m_task = std::make_shared<Cancellation>();
    run(id, m_task, std::move(hold), std::move(spare));
}

void RequestRunner::cancel()
{
    for (const CancelToken &token : {m_task, m_switch})
        if (token)
            token->cancel();
    embedResult(false);
}

void RequestRunner::embedResult(bool ok)
{
    if (const auto wait = std::exchange(m_embedContinuation, std::nullopt))
        wait->resume(ok);
}

QCoro::Task<> RequestRunner::run(QString id, CancelToken task, [[maybe_unused]] std::shared_ptr<void> hold,
                                 std::shared_ptr<MediaPlayer> spare)
{
    InvidiousFamily family(m_timing.directory, Settings::instance().preferredInstance());
    Q_EMIT statusChanged(family.finding());
    const auto attempts = co_await family.attempts(id);

    SourcePipeline pipeline(m_timing.readiness, task, Settings::instance().maxHeight(), m_timing.askAhead);
    connect(&pipeline, &SourcePipeline::statusChanged, this, &RequestRunner::statusChanged);
    connect(&pipeline, &SourcePipeline::loadingStream, this, &RequestRunner::loadingStream);
    connect(&pipeline, &SourcePipeline::answered, this, &RequestRunner::answered);
    pipeline.useSpare(std::move(spare));
    if (const auto source = co_await pipeline.run(attempts)) {
        Q_EMIT accepted(*source);
        co_return;
    }

    if (task->isCancelled())
        co_return;
    Q_EMIT statusChanged(u"Trying YouTube embed…"_s);
    Q_EMIT embedding(id);

    const OneShot wait;
    m_embedContinuation = wait;
    // Ends only its own wait: a later request's embed wait keeps its full time.
    QTimer::singleShot(m_timing.embed, this, [this, wait] {
        if (m_embedContinuation == wait)
            embedResult(false);
    });
    const bool ok = co_await wait;

    if (task->isCancelled())
        co_return;
    Q_EMIT embedEnded(ok);
}

void RequestRunner::requality(const Source &source, int maxHeight, std::shared_ptr<void> hold)
{
    if (m_task && m_task->isCancelled()) // the window is going
        return;
    if (m_switch)
        m_switch->cancel();
    m_switch = std::make_shared<Cancellation>();
    requalify(source, maxHeight, m_task, m_switch, std::move(hold));
}

QCoro::Task<> RequestRunner::requalify(Source source, int maxHeight, CancelToken request, CancelToken swap,
                                       [[maybe_unused]] std::shared_ptr<void> hold)
{
    // The new stream is readied while the old one plays on, then takes its place where it is.
    SourcePipeline pipeline(m_timing.readiness, swap, maxHeight);
    connect(&pipeline, &SourcePipeline::loadingStream, this, &RequestRunner::loadingStream);
    const auto ready = co_await pipeline.tryAnswer(source.attempt, source.info);
    if (ready && !swap->isCancelled() && !(request && request->isCancelled()))
        Q_EMIT requalified(*ready);
}

} // namespace vireo
