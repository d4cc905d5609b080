// SPDX-License-Identifier: MIT
#include "invidiousclient.h"

#include "link.h"
#include "net/http.h"

#include <QUrlQuery>
#include <QtConcurrent/QtConcurrentRun>
#include <QCoroFuture>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vireo::InvidiousClient {
namespace {

constexpr auto VideoTimeout = 6s;
// Real answers are 50–100 KB; anything this large is not one.
constexpr qint64 MaxAnswerBytes = 16 * 1024 * 1024;
// A page of a list is 100 videos, some 100 KB.
constexpr qint64 MaxListBytes = 8 * 1024 * 1024;
// A feature film's captions are a few hundred KB.
constexpr qint64 MaxCaptionBytes = 2 * 1024 * 1024;

} // namespace

QCoro::Task<FetchResult> fetch(Instance instance, QString id, bool local, CancelToken cancel)
{
    QUrl url(instance.base + u"/api/v1/videos/"_s + id);
    if (!Http::isWebUrl(url))
        co_return FetchError::badURL;
    if (local)
        url.setQuery(QUrlQuery{{u"local"_s, u"true"_s}});
    else
        url.setQuery(QString());

    const Http::Response response = co_await Http::get(url, VideoTimeout, MaxAnswerBytes, cancel);
    if (response.error == QNetworkReply::OperationCanceledError)
        co_return FetchError::timedOut;
    if (response.error != QNetworkReply::NoError)
        co_return FetchError::network;
    if (response.status != 200)
        co_return FetchError::badServerResponse;
    co_return co_await QtConcurrent::run(parse, response.body, instance.base);
}

QCoro::Task<std::optional<PlaylistPage>> playlist(Instance instance, QString id, int page, CancelToken cancel)
{
    const bool mix = PlaylistID::isMix(id);
    QUrl url(instance.base + (mix ? u"/api/v1/mixes/"_s : u"/api/v1/playlists/"_s) + id);
    if (!Http::isWebUrl(url) || (mix && page > 1))
        co_return std::nullopt;
    url.setQuery(mix ? QString() : u"page="_s + QString::number(page));
    const Http::Response response = co_await Http::get(url, VideoTimeout, MaxListBytes, cancel);
    if (response.error != QNetworkReply::NoError || response.status != 200)
        co_return std::nullopt;
    co_return co_await QtConcurrent::run(parsePlaylist, response.body);
}

QCoro::Task<std::optional<QList<Cue>>> captions(QUrl url, CancelToken cancel)
{
    if (!Http::isWebUrl(url))
        co_return std::nullopt;
    const Http::Response response = co_await Http::get(url, VideoTimeout, MaxCaptionBytes, cancel);
    if (response.error != QNetworkReply::NoError || response.status != 200)
        co_return std::nullopt;
    co_return co_await QtConcurrent::run(WebVtt::parse, response.body);
}

} // namespace vireo::InvidiousClient
