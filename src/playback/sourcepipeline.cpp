// SPDX-License-Identifier: MIT
#include "sourcepipeline.h"

#include "readiness.h"
#include "sources/invidiousclient.h"

using namespace Qt::StringLiterals;

namespace vireo {

SourcePipeline::SourcePipeline(QString id, std::chrono::milliseconds readiness, CancelToken cancel)
    : m_id(std::move(id))
    , m_readiness(readiness)
    , m_cancel(std::move(cancel))
{
}

QCoro::Task<std::optional<Source>> SourcePipeline::run(QList<Instance> candidates)
{
    for (const Instance &instance : candidates) {
        for (const bool local : {false, true}) {
            if (m_cancel->isCancelled())
                co_return std::nullopt;
            Q_EMIT statusChanged(u"Trying "_s + instance.host + (local ? u" (local)"_s : QString()) + u"…"_s);
            const FetchResult result = co_await InvidiousClient::fetch(instance, m_id, local, m_cancel);
            const auto *info = std::get_if<VideoInfo>(&result);
            if (!info)
                continue;
            if (m_cancel->isCancelled())
                co_return std::nullopt;
            Q_EMIT answered(*info);
            if (auto player = co_await candidate(info->stream))
                co_return Source{std::move(player), instance, *info};
        }
    }
    co_return std::nullopt;
}

QCoro::Task<std::shared_ptr<MediaPlayer>> SourcePipeline::candidate(QUrl stream)
{
    // A player given up on falls silent as it goes (MediaPlayer::retire), ready or not.
    auto player = MediaPlayer::create(stream);
    if (!co_await waitUntilReady(player, m_readiness, m_cancel))
        co_return std::shared_ptr<MediaPlayer>();
    co_return player;
}

} // namespace vireo
