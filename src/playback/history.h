// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QVariantList>
#include <optional>

namespace vireo {

// What Vireo remembers of what was watched, shared by every window: where each of the last 500
// videos was left, and the last 20 links with their titles. One file in the data location, written
// whole each time; one that cannot be read is set aside, never in the way of playback. Nothing is
// written while the "keepHistory" setting is off.
class History : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariantList links READ links NOTIFY linksChanged FINAL)
    Q_PROPERTY(bool keep READ keep WRITE setKeep NOTIFY keepChanged FINAL)
public:
    static History &instance();

    // Where video `id` was left, in milliseconds.
    [[nodiscard]] std::optional<qint64> position(const QString &id) const;
    // Keeps where video `id` was left, if it is worth coming back to (more than 10 s in and more
    // than 10 s before the end); forgets it otherwise, as a video watched to the end is done.
    void leave(const QString &id, qint64 position, qint64 duration);

    // The recent links, newest first: maps with "link" and "title".
    [[nodiscard]] QVariantList links() const;
    // `link` was played; its title once known. Of a list's link, `video` plays now, at `index` (from 1)
    // of the list when known.
    void visited(const QString &link, const QString &title = {}, const QString &video = {}, int index = 0);
    // The video that played last of the list `link` names, and its place in the list (0: not known).
    [[nodiscard]] std::optional<std::pair<QString, int>> listVideo(const QString &link) const;
    Q_INVOKABLE void remove(const QString &link);
    // Empties both the recent links and the kept positions.
    Q_INVOKABLE void forget();

    [[nodiscard]] bool keep() const;
    void setKeep(bool keep);

    // The file, and where one that could not be read is set aside.
    [[nodiscard]] static QString path();
    // Until what was asked of the file so far is done: before the folder it is in goes.
    static void sync();

Q_SIGNALS:
    void linksChanged();
    void keepChanged();

private:
    History();
    void save();

    struct Link {
        QString link;
        QString title;
        QString video; // of a list's link
        int index = 0;
    };
    QList<std::pair<QString, qint64>> m_positions; // oldest first
    QList<Link> m_links;                           // newest first
};

} // namespace vireo
