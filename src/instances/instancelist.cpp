// SPDX-License-Identifier: MIT
#include "instancelist.h"

#include "net/http.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>
#include <QCoroFuture>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vireo::InstanceList {
namespace {

constexpr auto DirectoryTimeout = 8s;
constexpr qint64 MaxDirectoryBytes = 8 * 1024 * 1024;
constexpr qint64 FreshForMs = 21600 * 1000LL;

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

} // namespace vireo::InstanceList
