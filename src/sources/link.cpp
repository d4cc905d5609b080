// SPDX-License-Identifier: MIT
#include "link.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace vireo {

QUrl watchPage(const QString &id, const QString &base)
{
    const QString root = base.isEmpty() ? u"https://"_s + WebHost : base;
    const QUrl url(root + u"/watch?v="_s + id, QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

namespace VideoID {

bool isIdChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'-'
        || u == u'_';
}

bool isValid(QStringView candidate)
{
    return candidate.size() == 11 && std::all_of(candidate.begin(), candidate.end(), isIdChar);
}

} // namespace VideoID

namespace {

constexpr auto ShortHost = u"youtu.be";
constexpr auto WebDomain = u"youtube.com";
constexpr auto MusicHost = u"music.youtube.com";
constexpr auto NoCookieHost = u"youtube-nocookie.com";

std::optional<QString> validated(const QString &candidate)
{
    if (VideoID::isValid(candidate))
        return candidate;
    return std::nullopt;
}

// The service's host of `url`, without the "www." and "m." it may start with; empty for any other.
QString hostOf(const QUrl &url)
{
    QString host = url.host(QUrl::FullyDecoded).toLower();
    if (host.startsWith(u"www."_s))
        host.remove(0, 4);
    if (host.startsWith(u"m."_s))
        host.remove(0, 2);
    return host == ShortHost || host == WebDomain || host == MusicHost || host == NoCookieHost ? host : QString();
}

std::optional<QString> videoOf(const QUrl &url)
{
    const QString host = hostOf(url);
    if (host.isEmpty())
        return std::nullopt;

    const QStringList segments = url.path(QUrl::FullyDecoded).split(u'/', Qt::SkipEmptyParts);

    if (host == ShortHost) {
        if (segments.isEmpty())
            return std::nullopt;
        return validated(segments.first());
    }

    if (segments.isEmpty())
        return std::nullopt;

    const QString &first = segments.first();
    if (first == u"watch"_s) {
        const QUrlQuery query(url);
        for (const auto &[name, value] : query.queryItems(QUrl::FullyDecoded)) {
            // Only the first "v" counts, even when it is empty and a later one is not.
            if (name == u"v"_s)
                return validated(value);
        }
        return std::nullopt;
    }
    if (first == u"shorts"_s || first == u"embed"_s || first == u"live"_s || first == u"v"_s) {
        if (segments.size() < 2)
            return std::nullopt;
        return validated(segments.at(1));
    }
    return std::nullopt;
}

std::optional<qint64> startOf(const QUrl &url)
{
    // Bounded digits, so that no reading overflows.
    static const QRegularExpression form(u"^(?:(\\d{1,9})s?|(?=\\d)(?:(\\d{1,4})h)?(?:(\\d{1,6})m)?(?:(\\d{1,9})s)?)$"_s);
    for (const QUrlQuery &items : {QUrlQuery(url), QUrlQuery(url.fragment(QUrl::FullyDecoded))}) {
        for (const QString &key : {u"t"_s, u"start"_s}) {
            if (!items.hasQueryItem(key))
                continue;
            const auto match = form.match(items.queryItemValue(key, QUrl::FullyDecoded));
            if (!match.hasMatch())
                return std::nullopt;
            const auto number = [&](int n) { return match.capturedView(n).toLongLong(); };
            return number(1) + number(2) * 3600 + number(3) * 60 + number(4);
        }
    }
    return std::nullopt;
}

// The list a link of the service's names ("list" in its query), with its place in it ("index",
// counted from 1); nothing when the link names no list the service could have made.
std::optional<std::pair<QString, std::optional<int>>> listOf(const QUrl &url)
{
    if (hostOf(url).isEmpty())
        return std::nullopt;
    const QUrlQuery query(url);
    const QString list = query.queryItemValue(u"list"_s, QUrl::FullyDecoded);
    if (!PlaylistID::isValid(list))
        return std::nullopt;
    bool ok = false;
    const int index = query.queryItemValue(u"index"_s).toInt(&ok);
    return std::pair(list, ok && index > 0 ? std::optional(index) : std::nullopt);
}

} // namespace

namespace PlaylistID {

bool isValid(QStringView candidate)
{
    return candidate.size() >= 2 && candidate.size() <= 64 && std::all_of(candidate.begin(), candidate.end(), VideoID::isIdChar);
}

bool isMix(QStringView id)
{
    return id.startsWith(u"RD");
}

} // namespace PlaylistID

QUrl Link::page() const
{
    if (videoID.isEmpty())
        return QUrl(u"https://"_s + WebHost + u"/playlist?list="_s + playlistID);
    return watchPage(videoID);
}

std::optional<Link> Link::parse(const QString &text)
{
    // QString::trimmed() strips exactly Unicode Z, tab, U+000A..U+000D and U+0085.
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    if (VideoID::isValid(trimmed))
        return Link{trimmed, trimmed, std::nullopt, {}, std::nullopt};

    const QUrl url(trimmed.contains(u"://"_s) ? trimmed : u"https://"_s + trimmed, QUrl::TolerantMode);
    if (!url.isValid())
        return std::nullopt;
    const auto id = videoOf(url);
    const auto list = listOf(url);
    // With a list, a link that names no video plays the list from its start.
    if (!id && !list)
        return std::nullopt;
    return Link{trimmed, id.value_or(QString()), id ? startOf(url) : std::nullopt, list ? list->first : QString(),
                list ? list->second : std::nullopt};
}

} // namespace vireo
