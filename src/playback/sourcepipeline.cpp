// SPDX-License-Identifier: MIT
#include "sourcepipeline.h"

#include "readiness.h"

namespace vireo {

SourcePipeline::SourcePipeline(std::chrono::milliseconds readiness, CancelToken cancel, int maxHeight)
    : m_readiness(readiness)
    , m_cancel(std::move(cancel))
    , m_maxHeight(maxHeight)
{
}

QCoro::Task<std::optional<Source>> SourcePipeline::run(QList<std::shared_ptr<Attempt>> attempts)
{
    QStringList silent; // sources that gave no answer at all: they are down, not their streams
    for (const std::shared_ptr<Attempt> &attempt : std::as_const(attempts)) {
        if (m_cancel->isCancelled())
            co_return std::nullopt;
        if (silent.contains(attempt->source()))
            continue;
        Q_EMIT statusChanged(attempt->status());
        const Answer answer = co_await attempt->ask(m_cancel);
        if (answer.silent)
            silent.append(attempt->source());
        if (!answer.info)
            continue;
        if (m_cancel->isCancelled())
            co_return std::nullopt;
        Q_EMIT answered(*answer.info);
        if (auto source = co_await tryAnswer(attempt, *answer.info)) {
            attempt->played();
            co_return source;
        }
    }
    co_return std::nullopt;
}

QCoro::Task<std::optional<Source>> SourcePipeline::tryAnswer(std::shared_ptr<Attempt> attempt, VideoInfo info)
{
    // Named, not a temporary of the co_await: GCC 12 mishandles the lifetime of those.
    const auto [video, audio] = MediaPlayer::decodable();
    const StreamChoice choice{m_maxHeight, video, audio};
    const QList<Stream> streams = co_await attempt->streams(info, choice, m_cancel);
    for (const Stream &stream : streams) {
        if (m_cancel->isCancelled())
            co_return std::nullopt;
        if (auto player = co_await candidate(stream))
            co_return Source{std::move(player), attempt, info, stream.height};
    }
    co_return std::nullopt;
}

QCoro::Task<std::shared_ptr<MediaPlayer>> SourcePipeline::candidate(Stream stream)
{
    // A player given up on falls silent as it goes (MediaPlayer::retire), ready or not.
    auto player = MediaPlayer::create(stream.url);
    Q_EMIT loadingStream();
    // What the stream needs lives as long as its player.
    if (stream.keep)
        connect(player.get(), &QObject::destroyed, [keep = std::move(stream.keep)] {});
    if (!co_await waitUntilReady(player, m_readiness, m_cancel))
        co_return std::shared_ptr<MediaPlayer>();
    co_return player;
}

} // namespace vireo
