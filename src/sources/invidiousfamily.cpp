// SPDX-License-Identifier: MIT
#include "invidiousfamily.h"

#include "invidiousclient.h"
#include "link.h"
#include "instances/instancehealth.h"
#include "instances/instancelist.h"

#include <climits>
#include <QUrlQuery>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vireo {
namespace {

// Where `codec` comes in `order`, by the start of its name; -1 when it is not there.
qsizetype rank(const QString &codec, const QStringList &order)
{
    for (qsizetype i = 0; i < order.size(); ++i)
        if (codec.startsWith(order.at(i)))
            return i;
    return -1;
}

// The tallest picture within the cap (at equal height the lighter codec, then the higher bitrate),
// with the best sound; nothing when either is missing.
std::optional<Stream> adaptive(const QList<AdaptiveFormat> &formats, const StreamChoice &choice)
{
    const AdaptiveFormat *video = nullptr, *audio = nullptr;
    const auto better = [](const AdaptiveFormat *was, const AdaptiveFormat &is, auto key) { return !was || key(is) > key(*was); };
    const auto videoKey = [&](const AdaptiveFormat &f) { return std::tuple(f.height, -rank(f.codec, choice.videoCodecs), f.bitrate); };
    const auto audioKey = [&](const AdaptiveFormat &f) { return std::tuple(f.bitrate, -rank(f.codec, choice.audioCodecs)); };
    for (const AdaptiveFormat &format : formats) {
        if (format.height > 0) {
            if (format.height <= choice.maxHeight && rank(format.codec, choice.videoCodecs) >= 0 && better(video, format, videoKey))
                video = &format;
        } else if (rank(format.codec, choice.audioCodecs) >= 0 && better(audio, format, audioKey)) {
            audio = &format;
        }
    }
    if (!video || !audio)
        return std::nullopt;
    return Stream{video->url, audio->url, video->height};
}

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

    QCoro::Task<QList<Stream>> streams(VideoInfo info, StreamChoice choice, CancelToken) override
    {
        // With a cap, the separate streams come first, kept to the cap; the single file after them.
        QList<Stream> streams;
        if (choice.maxHeight > 0)
            if (auto stream = adaptive(info.adaptive, choice))
                streams.append(*stream);
        streams.append({info.stream, {}, info.streamHeight});
        co_return streams;
    }

    QCoro::Task<std::optional<QList<Cue>>> captions(QUrl track, CancelToken cancel) override
    {
        return InvidiousClient::captions(std::move(track), std::move(cancel));
    }

private:
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

QCoro::Task<QList<Instance>> InvidiousFamily::instances()
{
    // The directory's best that have not failed here lately, then those that have.
    const QList<Instance> loaded = co_await InstanceList::load(m_directory);
    const QList<Instance> byUptime = InstanceList::ranked(loaded, INT_MAX);
    const QList<Instance> all = co_await InstanceHealth::ranked(byUptime);
    QList<Instance> instances = all.mid(0, 5);
    if (const auto own = Instance::fromAddress(m_ownInstance))
        instances.prepend(*own);
    co_return instances;
}

QCoro::Task<QList<std::shared_ptr<Attempt>>> InvidiousFamily::attempts(QString id)
{
    const QList<Instance> instances = co_await this->instances();
    QList<std::shared_ptr<Attempt>> attempts;
    for (const Instance &instance : std::as_const(instances))
        for (const bool local : {false, true})
            attempts.append(std::make_shared<InvidiousAttempt>(instance, id, local));
    co_return attempts;
}

} // namespace vireo
