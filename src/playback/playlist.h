// SPDX-License-Identifier: MIT
#pragma once

#include "instances/instance.h"
#include "net/cancellation.h"
#include "sources/link.h"
#include "sources/playlistpage.h"

#include <QAbstractListModel>
#include <QCoroTask>
#include <QUrl>
#include <optional>

namespace vireo {

// The list a window plays, when its link names one: the videos as far as they are loaded, which of
// them plays, and where playback can go from it. Pages are asked of the instances as the queue
// needs them, never the whole list at once. Rows: "title", "length" ("3:25"), "videoID".
class Playlist : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(bool active READ active NOTIFY activeChanged FINAL)
    Q_PROPERTY(QString title READ title NOTIFY titleChanged FINAL)
    // The row that plays; -1 when none does, or the video that plays is not one of the list's.
    Q_PROPERTY(int current READ current NOTIFY placeChanged FINAL)
    // "3 of 12" while a video of the list plays; empty otherwise.
    Q_PROPERTY(QString place READ place NOTIFY placeChanged FINAL)
    Q_PROPERTY(bool canGoNext READ canGoNext NOTIFY placeChanged FINAL)
    Q_PROPERTY(bool canGoPrevious READ canGoPrevious NOTIFY placeChanged FINAL)

public:
    enum Role { TitleRole = Qt::UserRole + 1, LengthRole, VideoIDRole };

    // The list's pages are asked of the instances that the public directory at `directory` (empty:
    // the usual one) ranks, and of the user's own.
    Playlist(QUrl directory, QObject *parent = nullptr);

    // Stop at this many pages, whatever comes after them.
    static constexpr int MaxPages = 200;

    // A list with videos to show plays: one that is empty, or not in yet, shows nothing.
    [[nodiscard]] bool active() const { return m_link && !m_entries.isEmpty(); }
    [[nodiscard]] QString title() const { return m_title; }
    [[nodiscard]] int current() const { return m_current; }
    [[nodiscard]] QString place() const;
    [[nodiscard]] bool canGoNext() const;
    [[nodiscard]] bool canGoPrevious() const { return m_current > 0; }
    // The link that named the list; nothing while no list plays.
    [[nodiscard]] const std::optional<Link> &link() const { return m_link; }
    [[nodiscard]] const PlaylistEntry *entry(int row) const;

    // Begins the list `link` names, or ends the one there was when it names none.
    void begin(const std::optional<Link> &link);
    // Row `row` plays now.
    void setCurrent(int row);

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;
    [[nodiscard]] bool canFetchMore(const QModelIndex &parent = {}) const override;
    void fetchMore(const QModelIndex &parent = {}) override;

Q_SIGNALS:
    void activeChanged();
    void titleChanged();
    void placeChanged();
    // For a link with only a list: the row to play first, or -1 when the list has none or could
    // not be had.
    void startFound(int row);
    // The last page asked for is in, or will not come.
    void pageDone();

private:
    QCoro::Task<> fetch(int page, CancelToken cancel);
    void add(const std::optional<PlaylistPage> &page);
    // Finds the link's video among the rows, or asks for the page it may be on.
    void locate();

    const QUrl m_directory;
    std::optional<Link> m_link;
    QList<PlaylistEntry> m_entries;
    QString m_title;
    int m_total = 0;
    int m_current = -1;
    int m_pages = 0;
    QStringList m_lastPage;      // the IDs of the last page, which a repeating server sends again
    bool m_fetching = false;
    bool m_ended = false;
    bool m_located = false;      // the link's video, or its start, was found or will not be
    QList<Instance> m_instances; // asked in this order, the one that gave the last page first
    CancelToken m_cancel;
};

} // namespace vireo
