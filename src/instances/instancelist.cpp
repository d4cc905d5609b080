// SPDX-License-Identifier: MIT
#include "instancelist.h"

#include "sources/http.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>
#include <QCoroFuture>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vireo::InstanceList {
namespace {

constexpr auto DirectoryTimeout = 8s;
constexpr qint64 MaxDirectoryBytes = 8 * 1024 * 1024;
constexpr qint64 FreshForMs = 21600 * 1000LL;

// strtod in the C locale, whatever the process locale is, and only when it consumes the whole
// text: no leading white space, nothing left over.
std::optional<double> cNumber(const QString &text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty() || std::isspace(static_cast<unsigned char>(bytes.front())))
        return std::nullopt;
    char *end = nullptr;
    const double value = strtod_l(bytes.constData(), &end, cLocale);
    if (end != bytes.constData() + bytes.size())
        return std::nullopt;
    return value;
}

double rankingFigure(const QJsonObject &details)
{
    const QJsonValue monitorValue = details.value(u"monitor"_s);
    if (!monitorValue.isObject())
        return 0;
    const QJsonObject monitor = monitorValue.toObject();
    if (const QJsonValue uptime = monitor.value(u"uptime"_s); uptime.isDouble())
        return uptime.toDouble();
    for (const auto &key : {u"30dRatio"_s, u"weeklyRatio"_s}) {
        const QJsonValue ratio = monitor.value(key).toObject().value(u"ratio"_s);
        if (!ratio.isString())
            continue;
        if (const auto number = cNumber(ratio.toString()))
            return *number;
    }
    return 0;
}

std::optional<QList<Instance>> readCache(const QString &path, bool freshOnly)
{
    if (path.isEmpty())
        return std::nullopt;
    const QFileInfo info(path);
    if (freshOnly) {
        const QDateTime modified = info.lastModified();
        // A date in the future gives a negative age, which counts as fresh.
        if (!modified.isValid() || modified.msecsTo(QDateTime::currentDateTimeUtc()) >= FreshForMs)
            return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    auto list = Instance::decode(file.readAll());
    if (!list || list->isEmpty())
        return std::nullopt;
    return list;
}

} // namespace

bool store(const QString &path, const QList<Instance> &list)
{
    const auto json = Instance::encode(list);
    if (path.isEmpty() || !json)
        return false;
    // Replaced whole or not at all: a crash or a full disk keeps the last good list.
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(*json) == json->size() && file.commit();
}

QUrl directoryUrl()
{
    return QUrl(u"https://api.invidious.io/instances.json"_s);
}

const QList<Instance> &fallback()
{
    static const QList<Instance> list = [] {
        QList<Instance> instances;
        for (const auto &host : {u"inv.nadeko.net"_s, u"invidious.nerdvpn.de"_s, u"yewtu.be"_s, u"invidious.f5.si"_s,
                                u"inv.tux.pizza"_s})
            instances.append({host, u"https://"_s + host, 0});
        return instances;
    }();
    return list;
}

std::optional<QList<Instance>> parseDirectory(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isArray())
        return std::nullopt;
    const QJsonArray entries = document.array();
    if (!std::all_of(entries.begin(), entries.end(), [](const QJsonValue &v) { return v.isArray(); }))
        return std::nullopt;

    QList<Instance> list;
    for (const QJsonValue &entryValue : entries) {
        const QJsonArray entry = entryValue.toArray();
        if (entry.size() < 2 || !entry.at(0).isString() || !entry.at(1).isObject())
            continue;
        const QJsonObject details = entry.at(1).toObject();
        const QJsonValue uri = details.value(u"uri"_s);
        if (details.value(u"type"_s) != QJsonValue(u"https"_s) || details.value(u"api"_s) != QJsonValue(true)
            || !uri.isString() || !uri.toString().startsWith(u"https://"_s))
            continue;
        QString base = uri.toString();
        if (base.endsWith(u'/'))
            base.chop(1);
        list.append({entry.at(0).toString(), base, rankingFigure(details)});
    }
    return list;
}

QCoro::Task<std::optional<QList<Instance>>> fetch(QUrl directory)
{
    if (!directory.isValid())
        co_return std::nullopt;
    // The status is not looked at: any answer whose body is a directory counts.
    const Http::Response response = co_await Http::get(directory, DirectoryTimeout, MaxDirectoryBytes);
    if (response.error != QNetworkReply::NoError)
        co_return std::nullopt;
    co_return co_await QtConcurrent::run(parseDirectory, response.body);
}

QString cacheURL()
{
    const QString caches = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (caches.isEmpty())
        return {};
    const QString folder = caches + u"/Vireo"_s;
    QDir().mkpath(folder); // failure shows later, as a file that cannot be read or written
    return folder + u"/instances.json"_s;
}

QCoro::Task<QList<Instance>> load(QUrl directory)
{
    const QString path = cacheURL();
    if (auto fresh = co_await QtConcurrent::run(readCache, path, true))
        co_return *fresh;

    const auto downloaded = co_await fetch(directory);
    if (downloaded && !downloaded->isEmpty()) {
        co_await QtConcurrent::run(store, path, *downloaded);
        co_return *downloaded;
    }

    if (auto stale = co_await QtConcurrent::run(readCache, path, false))
        co_return *stale;
    co_return fallback();
}

QCoro::Task<QList<Instance>> top(int n, QUrl directory)
{
    co_return ranked(co_await load(directory), n);
}

QList<Instance> ranked(QList<Instance> list, int n)
{
    const auto rank = [](const Instance &i) { return std::isnan(i.uptime) ? 0.0 : i.uptime; };
    std::stable_sort(list.begin(), list.end(), [&](const Instance &a, const Instance &b) { return rank(a) > rank(b); });
    return list.mid(0, std::clamp<qsizetype>(n, 0, list.size()));
}

} // namespace vireo::InstanceList
