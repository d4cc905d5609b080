// SPDX-License-Identifier: MIT
#include "invidiousfamily.h"

#include "dashmanifest.h"
#include "invidiousclient.h"
#include "link.h"
#include "instances/instancehealth.h"
#include "instances/instancelist.h"
#include "net/http.h"

#include <QDir>
#include <climits>
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

class InvidiousAttempt : public Attempt
{
public:
    InvidiousAttempt(Instance instance, QString id, bool local)
        : m_instance(std::move(instance))
        , m_id(std::move(id))
        , m_local(local)
    {
    }

    QString label() const override { return m_instance.host + (m_local ? u" (local)"_s : QString()); }
    QString origin() const override { return m_instance.host; }
    QString source() const override { return m_instance.base; }
    QUrl watchPage() const override { return vireo::watchPage(m_id, m_instance.base); }

    QCoro::Task<Answer> ask(CancelToken cancel) override
    {
        const FetchResult result = co_await InvidiousClient::fetch(m_instance, m_id, m_local, cancel);
        if (const auto *info = std::get_if<VideoInfo>(&result))
            co_return Answer{*info, false};
        if (cancel && cancel->isCancelled()) // called off: nothing was learned of the instance
            co_return Answer{};
        const FetchError error = std::get<FetchError>(result);
        const bool silent = error == FetchError::timedOut || error == FetchError::network;
        InstanceHealth::record(m_instance, error == FetchError::timedOut ? InstanceHealth::Outcome::TimedOut
                                               : silent                  ? InstanceHealth::Outcome::Refused
                                                                         : InstanceHealth::Outcome::Unusable);
        co_return Answer{std::nullopt, silent};
    }

    void played() override { InstanceHealth::record(m_instance, InstanceHealth::Outcome::Played); }

    QCoro::Task<QList<Stream>> streams(VideoInfo info, StreamChoice choice, CancelToken cancel) override
    {
        // With a cap, the adaptive streams come first, kept to the cap; the single file after them.
        QList<Stream> streams;
        const bool offered = std::any_of(info.heights.begin(), info.heights.end(), [&](int h) { return h <= choice.maxHeight; });
        if (choice.maxHeight > 0 && !info.manifest.isEmpty() && offered) {
            if (auto manifest = co_await adaptive(info.manifest, choice, cancel))
                streams.append(std::move(*manifest));
            if (cancel->isCancelled())
                co_return QList<Stream>();
        }
        streams.append({info.stream, info.streamHeight, nullptr});
        co_return streams;
    }

    QCoro::Task<std::optional<QList<Cue>>> captions(QUrl track, CancelToken cancel) override
    {
        return InvidiousClient::captions(std::move(track), std::move(cancel));
    }

private:
    // The answer's manifest kept to the cap, in a file of its own that lives as long as the stream.
    QCoro::Task<std::optional<Stream>> adaptive(QUrl manifest, StreamChoice choice, CancelToken cancel)
    {
        if (m_local)
            manifest.setQuery(QUrlQuery{{u"local"_s, u"true"_s}});
        const Http::Response response = co_await Http::get(manifest, ManifestTimeout, MaxManifestBytes, cancel);
        if (response.error != QNetworkReply::NoError || response.status != 200)
            co_return std::nullopt;
        const auto kept = co_await QtConcurrent::run(DashManifest::rewrite, response.body, manifest, choice.maxHeight,
                                                     choice.videoCodecs, choice.audioCodecs);
        auto file = std::make_shared<QTemporaryFile>(QDir::tempPath() + u"/vireo-XXXXXX.mpd"_s);
        if (!kept || !file->open() || file->write(kept->manifest) != kept->manifest.size() || !file->flush())
            co_return std::nullopt;
        co_return Stream{QUrl::fromLocalFile(file->fileName()), kept->height, file};
    }

    const Instance m_instance;
    const QString m_id;
    const bool m_local;
};

} // namespace

InvidiousFamily::InvidiousFamily(QUrl directory, QString ownInstance)
    : m_directory(directory.isEmpty() ? InstanceList::directoryUrl() : std::move(directory))
    , m_ownInstance(std::move(ownInstance))
{
}

QString InvidiousFamily::finding() const
{
    return u"Finding instances…"_s;
}

QCoro::Task<QList<std::shared_ptr<Attempt>>> InvidiousFamily::attempts(QString id)
{
    // The directory's best that have not failed here lately, then those that have.
    const QList<Instance> loaded = co_await InstanceList::load(m_directory);
    const QList<Instance> byUptime = InstanceList::ranked(loaded, INT_MAX);
    const QList<Instance> all = co_await InstanceHealth::ranked(byUptime);
    QList<Instance> instances = all.mid(0, 5);
    if (const auto own = Instance::fromAddress(m_ownInstance))
        instances.prepend(*own);
    QList<std::shared_ptr<Attempt>> attempts;
    for (const Instance &instance : std::as_const(instances))
        for (const bool local : {false, true})
            attempts.append(std::make_shared<InvidiousAttempt>(instance, id, local));
    co_return attempts;
}

} // namespace vireo
