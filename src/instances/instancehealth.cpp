// SPDX-License-Identifier: MIT
#include "instancehealth.h"

#include "instancelist.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <QCoroFuture>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vireo::InstanceHealth {
namespace {

constexpr std::pair<Outcome, const char *> Names[] = {
    {Outcome::Unusable, "unusable"}, {Outcome::TimedOut, "timedOut"}, {Outcome::Refused, "refused"}};

// One worker, so that reads and writes of the file happen in the order they were asked for.
QThreadPool &worker()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(1);
        return p;
    }();
    return *pool;
}

QString path()
{
    const QString cache = InstanceList::cacheURL();
    return cache.isEmpty() ? QString() : QFileInfo(cache).path() + u"/health.json"_s;
}

// A file larger than any real one is cut short, and so reads as no records. At most what the file
// holds is asked of the allocator (see History).
QByteArray read(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.read(std::min<qint64>(1024 * 1024, f.size() + 1)) : QByteArray();
}

void write(const QString &file, const QByteArray &contents)
{
    // Whole or not at all, as the instance cache.
    QSaveFile f(file);
    if (f.open(QIODevice::WriteOnly) && f.write(contents) == contents.size())
        f.commit();
}

std::chrono::milliseconds penalty(const QString &seen)
{
    if (seen == QLatin1StringView("unusable"))
        return 10min;
    if (seen == QLatin1StringView("timedOut") || seen == QLatin1StringView("refused"))
        return 30min;
    return 0ms;
}

} // namespace

void record(const Instance &instance, Outcome outcome)
{
    const QString file = path();
    if (file.isEmpty())
        return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    worker().start([file, base = instance.base, outcome, now] {
        QJsonObject records = QJsonDocument::fromJson(read(file)).object();
        records.remove(base);
        for (const auto &[known, name] : Names)
            if (known == outcome)
                records.insert(base, QJsonObject{{u"seen"_s, QLatin1StringView(name)}, {u"at"_s, now}});
        write(file, QJsonDocument(records).toJson(QJsonDocument::Compact));
    });
}

std::pair<QList<Instance>, QByteArray> ranked(const QList<Instance> &list, const QByteArray &file, const QDateTime &now)
{
    const QJsonObject records = QJsonDocument::fromJson(file).object();
    QJsonObject kept;
    QList<Instance> well, failed;
    for (const Instance &instance : list) {
        const QJsonObject record = records.value(instance.base).toObject();
        const qint64 age = now.toMSecsSinceEpoch() - qint64(record.value(u"at"_s).toDouble(-1));
        // A time to come (a clock set back) is no reason to hold an instance back.
        const bool recent = age >= 0 && age < penalty(record.value(u"seen"_s).toString()).count();
        (recent ? failed : well).append(instance);
        if (recent)
            kept.insert(instance.base, record);
    }
    // Written back when that lets a record go, and over a file that was not one.
    const QByteArray contents = QJsonDocument(kept).toJson(QJsonDocument::Compact);
    return {well + failed, file.isEmpty() || contents == file ? QByteArray() : contents};
}

QCoro::Task<QList<Instance>> ranked(QList<Instance> list)
{
    const QString file = path();
    if (file.isEmpty())
        co_return list;
    // Named, as no temporary of a co_await expression is safe with GCC 12.
    const auto rank = [file, list] {
        const auto [order, keep] = ranked(list, read(file), QDateTime::currentDateTimeUtc());
        if (!keep.isEmpty())
            write(file, keep);
        return order;
    };
    QFuture<QList<Instance>> future = QtConcurrent::run(&worker(), rank);
    co_return co_await future;
}

} // namespace vireo::InstanceHealth
