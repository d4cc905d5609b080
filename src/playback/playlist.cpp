// SPDX-License-Identifier: MIT
#include "playlist.h"

#include "clocktext.h"
#include "settings.h"
#include "sources/invidiousclient.h"
#include "sources/invidiousfamily.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace vireo {

Playlist::Playlist(QUrl directory, QObject *parent)
    : QAbstractListModel(parent)
    , m_directory(std::move(directory))
{
}

QString Playlist::place() const
{
    if (m_current < 0)
        return {};
    // The count the list gives includes videos no one can play, which never become rows.
    return u"%1 of %2"_s.arg(m_current + 1).arg(std::max<qsizetype>(m_total, m_entries.size()));
}

bool Playlist::canGoNext() const
{
    return active() && (m_current + 1 < m_entries.size() || !m_ended);
}

const PlaylistEntry *Playlist::entry(int row) const
{
    return row >= 0 && row < m_entries.size() ? &m_entries.at(row) : nullptr;
}

void Playlist::begin(const std::optional<Link> &link)
{
    if (m_cancel)
        m_cancel->cancel();
    m_cancel.reset();
    const bool wasActive = active();
    const bool list = link && !link->playlistID.isEmpty();
    // The same list again keeps its rows; another link of it may only start elsewhere.
    const bool same = list && m_link && m_link->playlistID == link->playlistID && !m_entries.isEmpty();
    // Settled before the reset is told: a view that hears it asks for more at once, and must ask
    // for the new list's pages, or for none.
    m_fetching = false;
    m_link = list ? link : std::nullopt;
    m_current = -1;
    m_located = false;
    if (!same) {
        beginResetModel();
        m_entries.clear();
        m_title.clear();
        m_total = 0;
        m_pages = 0;
        m_lastPage.clear();
        m_ended = false;
        m_instances.clear();
        endResetModel();
        Q_EMIT titleChanged();
    }
    if (wasActive != active())
        Q_EMIT activeChanged();
    Q_EMIT placeChanged();
    if (list && same)
        locate();
    else if (list)
        fetchMore();
}

void Playlist::setCurrent(int row)
{
    if (!entry(row))
        return;
    m_current = row;
    m_located = true;
    Q_EMIT placeChanged();
    // The next video's row is loaded before it is needed.
    if (row + 2 >= m_entries.size())
        fetchMore();
}

int Playlist::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant Playlist::data(const QModelIndex &index, int role) const
{
    const PlaylistEntry *e = entry(index.row());
    if (!e || index.parent().isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case TitleRole: return e->title.isEmpty() ? e->videoID : e->title;
    case VideoIDRole: return e->videoID;
    case LengthRole: return e->seconds > 0 ? clockText(e->seconds) : QString();
    }
    return {};
}

QHash<int, QByteArray> Playlist::roleNames() const
{
    return {{TitleRole, "title"}, {LengthRole, "length"}, {VideoIDRole, "videoID"}};
}

bool Playlist::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_link && !m_ended && !m_fetching;
}

void Playlist::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    if (!m_cancel)
        m_cancel = std::make_shared<Cancellation>();
    m_fetching = true;
    fetch(m_pages + 1, m_cancel);
}

QCoro::Task<> Playlist::fetch(int page, CancelToken cancel)
{
    const QPointer self(this);
    const QString id = m_link->playlistID;
    if (m_instances.isEmpty()) {
        InvidiousFamily family(m_directory, Settings::instance().preferredInstance());
        const QList<Instance> instances = co_await family.instances();
        if (!self || cancel->isCancelled())
            co_return;
        m_instances = instances;
    }
    // The instance that gave the last page is asked first: its pages follow on from each other.
    const QList<Instance> instances = m_instances;
    std::optional<PlaylistPage> answer;
    for (const Instance &instance : instances) {
        answer = co_await InvidiousClient::playlist(instance, id, page, cancel);
        if (!self || cancel->isCancelled())
            co_return;
        if (answer) {
            m_instances.removeOne(instance);
            m_instances.prepend(instance);
            break;
        }
    }
    m_fetching = false;
    add(answer);
}

void Playlist::add(const std::optional<PlaylistPage> &page)
{
    ++m_pages;
    QStringList ids;
    QList<PlaylistEntry> fresh;
    const int lastIndex = m_entries.isEmpty() ? -1 : m_entries.last().index;
    for (const PlaylistEntry &e : page ? page->entries : QList<PlaylistEntry>()) {
        ids.append(e.videoID);
        // Pages that overlap the last one give its videos again.
        if (e.index < 0 || e.index > lastIndex)
            fresh.append(e);
    }
    const bool repeated = !ids.isEmpty() && ids == m_lastPage;
    m_lastPage = ids;
    if (page && m_pages == 1) {
        m_title = page->title;
        m_total = page->total;
        Q_EMIT titleChanged();
    }
    if (!repeated && !fresh.isEmpty()) {
        const bool wasActive = active();
        beginInsertRows({}, int(m_entries.size()), int(m_entries.size() + fresh.size() - 1));
        m_entries.append(fresh);
        endInsertRows();
        if (!wasActive)
            Q_EMIT activeChanged();
    }
    m_ended = !page || ids.isEmpty() || repeated || m_pages >= MaxPages || PlaylistID::isMix(m_link->playlistID)
        || (m_total > 0 && m_entries.size() >= m_total);
    Q_EMIT placeChanged();
    if (!m_located)
        locate();
    else if (m_current + 2 >= m_entries.size())
        fetchMore();
    Q_EMIT pageDone();
}

void Playlist::locate()
{
    const Link &link = *m_link;
    const int wanted = link.index.value_or(1) - 1;
    const bool beyond = wanted >= m_entries.size() && !m_ended;
    if (link.videoID.isEmpty()) {
        // A link to the list alone starts at its index, or at its first video.
        if (beyond) {
            fetchMore();
            return;
        }
        m_located = true;
        Q_EMIT startFound(wanted < m_entries.size() ? wanted : m_entries.isEmpty() ? -1 : 0);
        return;
    }
    const auto matches = [&](int row) { return entry(row) && entry(row)->videoID == link.videoID; };
    int row = matches(wanted) ? wanted : -1;
    for (int r = 0; row < 0 && r < m_entries.size(); ++r)
        if (matches(r))
            row = r;
    if (row >= 0)
        setCurrent(row);
    else if (link.index && beyond)
        fetchMore();
    else
        m_located = true; // a video the list does not have: the list plays after it, from its start
}

} // namespace vireo
