// SPDX-License-Identifier: MIT
#include "sourcepipeline.h"

#include "askahead.h"
#include "readiness.h"

namespace vireo {

SourcePipeline::SourcePipeline(std::chrono::milliseconds readiness, CancelToken cancel, int maxHeight,
                               std::chrono::milliseconds patience)
    : m_readiness(readiness)
    , m_patience(patience)
    , m_cancel(std::move(cancel))
    , m_maxHeight(maxHeight)
{
}

QCoro::Task<std::optional<Source>> SourcePipeline::run(QList<std::shared_ptr<Attempt>> attempts)
{
    AskAhead asks(attempts, m_patience, m_cancel);
    connect(&asks, &AskAhead::statusChanged, this, &SourcePipeline::statusChanged);
    for (int i = 0; i < attempts.size(); ++i) {
        if (m_cancel->isCancelled())
            co_return std::nullopt;
        // A source that gave no answer at all is down, not its streams.
        if (asks.skipped(i))
            continue;
        const Answer answer = co_await asks.answer(i);
        if (!answer.info)
            continue;
        if (m_cancel->isCancelled())
            co_return std::nullopt;
        Q_EMIT answered(*answer.info);
        if (auto source = co_await tryAnswer(attempts[i], *answer.info)) {
            attempts[i]->played();
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
    auto player = std::exchange(m_spare, nullptr);
    if (!player || !player->open(stream.url, stream.audio))
        player = MediaPlayer::create(stream.url, stream.audio);
    Q_EMIT loadingStream(player.get());
    if (!co_await waitUntilReady(player, m_readiness, m_cancel))
        co_return std::shared_ptr<MediaPlayer>();
    co_return player;
}

} // namespace vireo
