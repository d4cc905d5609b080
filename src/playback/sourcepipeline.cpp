// SPDX-License-Identifier: MIT
#include "sourcepipeline.h"

#include "readiness.h"
#include "net/http.h"
#include "sources/dashmanifest.h"
#include "sources/invidiousclient.h"

#include <QDir>
#include <QMediaFormat>
#include <QTemporaryFile>
#include <QUrlQuery>
#include <QtConcurrent/QtConcurrentRun>
#include <QCoroFuture>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vireo {
namespace {

constexpr auto ManifestTimeout = 6s;
// Real manifests with one file per representation are some ten KB.
constexpr qint64 MaxManifestBytes = 4 * 1024 * 1024;

// Codecs this machine decodes, by the start of their names in a manifest, lightest first: H.264
// before VP9 before AV1 where one height has several.
std::pair<QStringList, QStringList> decodable()
{
    static const auto codecs = [] {
        QMediaFormat format; // any container: the codecs, not how they are stored
        const auto video = format.supportedVideoCodecs(QMediaFormat::Decode);
        const auto audio = format.supportedAudioCodecs(QMediaFormat::Decode);
        QStringList v, a;
        if (video.contains(QMediaFormat::VideoCodec::H264))
            v << u"avc1"_s << u"avc3"_s;
        if (video.contains(QMediaFormat::VideoCodec::VP9))
            v << u"vp09"_s << u"vp9"_s;
        if (video.contains(QMediaFormat::VideoCodec::AV1))
            v << u"av01"_s;
        if (audio.contains(QMediaFormat::AudioCodec::AAC))
            a << u"mp4a"_s;
        if (audio.contains(QMediaFormat::AudioCodec::Opus))
            a << u"opus"_s;
        return std::pair(v, a);
    }();
    return codecs;
}

} // namespace

SourcePipeline::SourcePipeline(QString id, std::chrono::milliseconds readiness, CancelToken cancel, int maxHeight)
    : m_id(std::move(id))
    , m_readiness(readiness)
    , m_cancel(std::move(cancel))
    , m_maxHeight(maxHeight)
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
            if (auto source = co_await tryAnswer(instance, local, *info))
                co_return source;
        }
    }
    co_return std::nullopt;
}

QCoro::Task<std::optional<Source>> SourcePipeline::tryAnswer(Instance instance, bool local, VideoInfo info)
{
    const bool offered = std::any_of(info.heights.begin(), info.heights.end(), [this](int h) { return h <= m_maxHeight; });
    if (m_maxHeight > 0 && !info.manifest.isEmpty() && offered) {
        if (const auto manifest = co_await adaptive(info.manifest, local)) {
            const auto [file, height] = *manifest;
            if (auto player = co_await candidate(QUrl::fromLocalFile(file->fileName()), file))
                co_return Source{std::move(player), instance, local, info, height};
        }
        if (m_cancel->isCancelled())
            co_return std::nullopt;
    }
    if (auto player = co_await candidate(info.stream))
        co_return Source{std::move(player), instance, local, info, info.streamHeight};
    co_return std::nullopt;
}

QCoro::Task<std::shared_ptr<MediaPlayer>> SourcePipeline::candidate(QUrl stream, QObject *keep)
{
    // A player given up on falls silent as it goes (MediaPlayer::retire), ready or not.
    auto player = MediaPlayer::create(stream);
    Q_EMIT loadingStream();
    if (keep)
        keep->setParent(player.get());
    if (!co_await waitUntilReady(player, m_readiness, m_cancel))
        co_return std::shared_ptr<MediaPlayer>();
    co_return player;
}

QCoro::Task<std::optional<std::pair<QTemporaryFile *, int>>> SourcePipeline::adaptive(QUrl manifest, bool local)
{
    if (local)
        manifest.setQuery(QUrlQuery{{u"local"_s, u"true"_s}});
    const Http::Response response = co_await Http::get(manifest, ManifestTimeout, MaxManifestBytes, m_cancel);
    if (response.error != QNetworkReply::NoError || response.status != 200)
        co_return std::nullopt;
    const auto [video, audio] = decodable();
    const auto kept = co_await QtConcurrent::run(DashManifest::rewrite, response.body, manifest, m_maxHeight, video, audio);
    // The player reads the manifest from a file of its own, gone with it.
    auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + u"/vireo-XXXXXX.mpd"_s);
    if (!kept || !file->open() || file->write(kept->manifest) != kept->manifest.size() || !file->flush())
        co_return std::nullopt;
    co_return std::pair(file.release(), kept->height);
}

} // namespace vireo
