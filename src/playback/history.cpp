// SPDX-License-Identifier: MIT
#include "history.h"

#include "settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThreadPool>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vireo {
namespace {

constexpr qsizetype MaxPositions = 500;
constexpr qsizetype MaxLinks = 20;
constexpr qint64 Margin = 10'000; // ms from either end that is not worth resuming at

// The file is written off the GUI thread, where each write and the disk's flush held up the start of
// every link, by one worker, so that writes and the removal land in the order they were asked for.
// Destroyed as the process ends, it finishes what it was given first.
QThreadPool &writer()
{
    struct Writer : QThreadPool {
        Writer() { setMaxThreadCount(1); }
    };
    static Writer pool;
    return pool;
}

} // namespace

History &History::instance()
{
    static History history;
    return history;
}

QString History::path()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + u"/history.json"_s;
}

History::History()
{
    connect(&Settings::instance(), &Settings::keepHistoryChanged, this, &History::keepChanged);
    connect(&Settings::instance(), &Settings::keepHistoryChanged, this, &History::linksChanged);
    QFile file(path());
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return;
    // At most what the file holds: a read sized by its bound alone would ask the allocator for all of
    // it, and freeing that much makes it keep every later block of up to that size for good.
    const QJsonObject root = QJsonDocument::fromJson(file.read(std::min<qint64>(8 << 20, file.size() + 1))).object();
    for (const QJsonValue &entry : root.value(u"positions"_s).toArray()) {
        const QJsonArray pair = entry.toArray();
        if (pair.at(0).isString() && pair.at(1).isDouble())
            m_positions.append({pair.at(0).toString(), qint64(pair.at(1).toDouble())});
    }
    for (const QJsonValue &entry : root.value(u"links"_s).toArray())
        if (const QJsonObject link = entry.toObject(); link.value(u"link"_s).isString())
            m_links.append({link.value(u"link"_s).toString(), link.value(u"title"_s).toString(), link.value(u"video"_s).toString(),
                            std::max(0, link.value(u"index"_s).toInt())});
    file.close();
    // A file that is not ours, or was cut short, is moved aside rather than overwritten or trusted.
    if (root.isEmpty()) {
        QFile::remove(path() + u".unreadable"_s);
        QFile::rename(path(), path() + u".unreadable"_s);
    }
    m_positions = m_positions.mid(std::max<qsizetype>(0, m_positions.size() - MaxPositions));
    m_links = m_links.mid(0, MaxLinks);
}

void History::sync()
{
    writer().waitForDone();
}

std::optional<qint64> History::position(const QString &id) const
{
    if (!keep())
        return std::nullopt;
    for (const auto &[video, at] : m_positions)
        if (video == id)
            return at;
    return std::nullopt;
}

void History::leave(const QString &id, qint64 position, qint64 duration)
{
    if (!keep() || duration <= 0) // a live stream has no place to come back to
        return;
    m_positions.removeIf([&](const auto &entry) { return entry.first == id; });
    if (position > Margin && position < duration - Margin)
        m_positions.append({id, position});
    if (m_positions.size() > MaxPositions)
        m_positions.removeFirst();
    save();
}

QVariantList History::links() const
{
    QVariantList list;
    for (const Link &link : keep() ? m_links : QList<Link>())
        list.append(QVariantMap{{u"link"_s, link.link}, {u"title"_s, link.title}});
    return list;
}

void History::visited(const QString &link, const QString &title, const QString &video, int index)
{
    if (!keep())
        return;
    const auto old = std::find_if(m_links.begin(), m_links.end(), [&](const Link &l) { return l.link == link; });
    Link kept = old != m_links.end() ? *old : Link{link, {}, {}, 0};
    if (!title.isEmpty())
        kept.title = title;
    if (!video.isEmpty())
        kept = {link, title.isEmpty() && video != kept.video ? QString() : kept.title, video, index};
    m_links.removeIf([&](const Link &l) { return l.link == link; });
    m_links.prepend(kept);
    m_links = m_links.mid(0, MaxLinks);
    save();
    Q_EMIT linksChanged();
}

std::optional<std::pair<QString, int>> History::listVideo(const QString &link) const
{
    for (const Link &l : keep() ? m_links : QList<Link>())
        if (l.link == link && !l.video.isEmpty())
            return std::pair(l.video, l.index);
    return std::nullopt;
}

void History::remove(const QString &link)
{
    if (m_links.removeIf([&](const Link &l) { return l.link == link; }) == 0)
        return;
    save();
    Q_EMIT linksChanged();
}

void History::forget()
{
    m_positions.clear();
    m_links.clear();
    writer().start([file = path()] { QFile::remove(file); });
    Q_EMIT linksChanged();
}

bool History::keep() const
{
    return Settings::instance().keepHistory();
}

void History::setKeep(bool keep)
{
    Settings::instance().setKeepHistory(keep);
}

void History::save()
{
    if (!keep())
        return;
    QJsonArray positions, links;
    for (const auto &[id, at] : std::as_const(m_positions))
        positions.append(QJsonArray{id, double(at)});
    for (const Link &link : std::as_const(m_links))
        links.append(link.video.isEmpty() ? QJsonObject{{u"link"_s, link.link}, {u"title"_s, link.title}}
                                          : QJsonObject{{u"link"_s, link.link}, {u"title"_s, link.title}, {u"video"_s, link.video}, {u"index"_s, link.index}});
    const QByteArray contents = QJsonDocument(QJsonObject{{u"positions"_s, positions}, {u"links"_s, links}}).toJson(QJsonDocument::Compact);
    writer().start([name = path(), contents] {
        // Whole or not at all: a crash mid-write leaves the last good file.
        QDir().mkpath(QFileInfo(name).path());
        QSaveFile file(name);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(contents);
            file.commit();
        }
    });
}

} // namespace vireo
