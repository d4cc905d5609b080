// SPDX-License-Identifier: MIT
#include "segmentdatabase.h"

#include "net/http.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QUrlQuery>
#include <QtConcurrent/QtConcurrentRun>
#include <QCoroFuture>
#include <cmath>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_LOGGING_CATEGORY(lcSegments, "vireo.segments", QtInfoMsg)

namespace vireo::SegmentDatabase {
namespace {

constexpr auto Timeout = 6s;
// A prefix's answer covers a few dozen videos in some KB.
constexpr qint64 MaxAnswerBytes = 2 * 1024 * 1024;
// More than any real video has; a seek bar has no room for more.
constexpr qsizetype MostSegments = 100;

} // namespace

const QList<Category> &categories()
{
    static const QList<Category> all{
        {u"sponsor"_s, u"Sponsor"_s, u"#2ecc40"_s, true},
        {u"selfpromo"_s, u"Self-promotion"_s, u"#ffdc00"_s, true},
        {u"interaction"_s, u"Interaction reminder"_s, u"#b10dc9"_s, true},
        {u"intro"_s, u"Intro"_s, u"#39cccc"_s, false},
        {u"outro"_s, u"Outro"_s, u"#ff851b"_s, false},
        {u"preview"_s, u"Preview"_s, u"#f78fb3"_s, false},
        {u"filler"_s, u"Filler"_s, u"#f012be"_s, false},
    };
    return all;
}

QUrl query(const QString &server, const QString &id)
{
    const QByteArray hash = QCryptographicHash::hash(id.toUtf8(), QCryptographicHash::Sha256).toHex();
    QUrl url(server.endsWith(u'/') ? server.chopped(1) : server);
    url.setPath(url.path() + u"/api/skipSegments/"_s + QString::fromLatin1(hash.left(4)));
    QStringList keys;
    for (const Category &category : categories())
        keys.append(u'"' + category.key + u'"');
    url.setQuery(QUrlQuery{{u"categories"_s, u'[' + keys.join(u',') + u']'}});
    return url;
}

std::optional<QList<Segment>> parse(const QByteArray &body, const QString &id)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isArray())
        return std::nullopt;
    const QJsonArray videos = document.array();
    const auto video = std::find_if(videos.begin(), videos.end(), [&id](const QJsonValue &v) {
        return v.toObject().value(u"videoID"_s).toString() == id;
    });
    if (video == videos.end())
        return QList<Segment>();
    QList<Segment> segments;
    for (const QJsonValue &value : video->toObject().value(u"segments"_s).toArray()) {
        const QJsonObject entry = value.toObject();
        const QString category = entry.value(u"category"_s).toString();
        const QJsonValue action = entry.value(u"actionType"_s);
        const QJsonArray times = entry.value(u"segment"_s).toArray();
        const double start = times.at(0).toDouble(-1), end = times.at(1).toDouble(-1);
        const bool known = std::any_of(categories().begin(), categories().end(), [&](const Category &c) { return c.key == category; });
        // Only stretches to pass over: not a whole video's label, a highlight's point or a muted part.
        if (!known || (!action.isUndefined() && action.toString() != u"skip"_s) || times.size() != 2
            || !std::isfinite(start) || !std::isfinite(end) || start < 0 || end <= start || end > 1e9)
            continue;
        segments.append({qint64(start * 1000), qint64(end * 1000), category});
        if (segments.size() == MostSegments)
            break;
    }
    return segments;
}

QList<Segment> fit(const QList<Segment> &segments, qint64 duration)
{
    QList<Segment> fitting;
    for (Segment segment : segments) {
        segment.end = std::min(segment.end, duration);
        if (segment.start < segment.end && segment.end - segment.start <= duration * 9 / 10)
            fitting.append(segment);
    }
    return fitting;
}

QCoro::Task<std::optional<QList<Segment>>> fetch(QString server, QString id, CancelToken cancel)
{
    const QUrl url = query(server, id);
    if (!Http::isWebUrl(url)) {
        qCInfo(lcSegments) << "No segments: the segment server is no web address";
        co_return std::nullopt;
    }
    const Http::Response response = co_await Http::get(url, Timeout, MaxAnswerBytes, cancel);
    if (cancel && cancel->isCancelled())
        co_return std::nullopt;
    // The database answers 404 for a prefix no video of which has segments.
    if (response.error == QNetworkReply::NoError && response.status == 404)
        co_return QList<Segment>();
    if (response.error != QNetworkReply::NoError || response.status != 200) {
        qCInfo(lcSegments) << "No segments from" << url.host() << response.error << response.status;
        co_return std::nullopt;
    }
    const auto segments = co_await QtConcurrent::run(parse, response.body, id);
    if (!segments)
        qCInfo(lcSegments) << "No segments from" << url.host() << "in an answer that is no list of videos";
    co_return segments;
}

} // namespace vireo::SegmentDatabase
