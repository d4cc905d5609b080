// SPDX-License-Identifier: MIT
// Reading an instance's video answer: pure parsing, no network, callable from any thread.
#include "description.h"
#include "invidiousclient.h"
#include "net/http.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace vireo::InvidiousClient {
namespace {

std::optional<QString> text(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

} // namespace

qint64 quality(const QJsonObject &stream)
{
    const QString label = text(stream, u"qualityLabel"_s).value_or(text(stream, u"quality"_s).value_or(QString()));

    // The leading run of numeric characters, by code point; a combining mark stays with the numeral
    // before it, so "1" + U+0301 is no plain digit.
    QString run;
    for (const char32_t c : label.toUcs4()) {
        if (!QChar::isNumber(c) && !(QChar::isMark(c) && !run.isEmpty()))
            break;
        run += QString::fromUcs4(&c, 1);
    }
    if (run.isEmpty())
        return 0;

    // Only ASCII decimal numerals that fit in 64 bits parse; anything else ranks 0.
    qint64 value = 0;
    for (const QChar c : std::as_const(run)) {
        if (c < u'0' || c > u'9')
            return 0;
        if (__builtin_mul_overflow(value, 10, &value) || __builtin_add_overflow(value, c.unicode() - u'0', &value))
            return 0;
    }
    return value;
}

FetchResult parse(const QByteArray &body, const QString &base)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return FetchError::badServerResponse;
    if (!document.isObject())
        return FetchError::badServerResponse;
    const QJsonObject answer = document.object();

    const QJsonValue formats = answer.value(u"formatStreams"_s);
    const QJsonArray streams = formats.toArray();
    if (!formats.isArray() || streams.isEmpty()
        || !std::all_of(streams.begin(), streams.end(), [](const QJsonValue &s) { return s.isObject(); }))
        return FetchError::resourceUnavailable;

    // The first stream of the highest rank wins.
    QJsonObject best = streams.first().toObject();
    qint64 bestRank = quality(best);
    for (qsizetype i = 1; i < streams.size(); ++i) {
        const QJsonObject stream = streams.at(i).toObject();
        if (const qint64 rank = quality(stream); rank > bestRank) {
            best = stream;
            bestRank = rank;
        }
    }

    const auto address = text(best, u"url"_s);
    if (!address)
        return FetchError::badURL;
    const QUrl stream(address->startsWith(u'/') ? base + *address : *address);
    // Only web streams: an answer must not make the player open local files or other protocols.
    if (!Http::isWebUrl(stream))
        return FetchError::badURL;

    VideoInfo info;
    info.title = text(answer, u"title"_s);
    info.author = text(answer, u"author"_s);
    info.stream = stream;
    info.streamHeight = int(std::min<qint64>(bestRank, 100'000));
    for (const QJsonValue &value : answer.value(u"adaptiveFormats"_s).toArray()) {
        const QJsonObject format = value.toObject();
        const auto address = text(format, u"url"_s);
        const QUrl url(address && address->startsWith(u'/') ? base + *address : address.value_or(QString()));
        // "video/mp4; codecs=\"avc1.4d401f\"".
        const QString type = text(format, u"type"_s).value_or(QString());
        const qsizetype codecs = type.indexOf(u"codecs=\""_s);
        const QString codec = codecs < 0 ? QString() : type.mid(codecs + 8).section(u'"', 0, 0).section(u',', 0, 0).trimmed();
        // "720p" or "720p60"; sound has neither.
        const QString label = text(format, u"resolution"_s).value_or(text(format, u"qualityLabel"_s).value_or(QString()));
        const qint64 height = quality(QJsonObject{{u"quality"_s, label}});
        const bool video = type.startsWith(u"video/"_s);
        if (!Http::isWebUrl(url) || codec.isEmpty() || (video && height <= 0) || (!video && !type.startsWith(u"audio/"_s)))
            continue;
        const QJsonValue rate = format.value(u"bitrate"_s);
        info.adaptive.append({url, codec, video ? int(std::min<qint64>(height, 100'000)) : 0,
                              rate.isString() ? rate.toString().toLongLong() : qint64(rate.toDouble())});
    }
    for (const QJsonValue &value : answer.value(u"captions"_s).toArray()) {
        const QJsonObject track = value.toObject();
        const auto label = text(track, u"label"_s), address = text(track, u"url"_s);
        // Older instances spell it with an underscore.
        const auto code = text(track, u"languageCode"_s).value_or(text(track, u"language_code"_s).value_or(QString()));
        const QUrl url(address && address->startsWith(u'/') ? base + *address : address.value_or(QString()));
        if (label && Http::isWebUrl(url))
            info.captions.append({*label, code, url});
    }
    // Invidious's answer has no chapters of its own: the description's are the video's.
    const double length = answer.value(u"lengthSeconds"_s).toDouble();
    info.chapters = Description::chapters(text(answer, u"description"_s).value_or(QString()),
                                          length > 0 && length < 1e9 ? qint64(length * 1000) : 0);
    return info;
}

} // namespace vireo::InvidiousClient
