// SPDX-License-Identifier: MIT
#include "chapters.h"

#include "assign.h"

namespace vireo {

void Chapters::show(const QList<Chapter> &chapters, MediaPlayer *player)
{
    if (m_player)
        disconnect(m_player, nullptr, this, nullptr);
    m_player = player;
    if (player)
        connect(player, &MediaPlayer::positionChanged, this, &Chapters::update);
    m_chapters = chapters;
    Q_EMIT chaptersChanged();
    update();
}

QVariantList Chapters::starts() const
{
    QVariantList starts;
    for (const Chapter &chapter : m_chapters)
        starts.append(chapter.start);
    return starts;
}

qsizetype Chapters::at(qint64 ms) const
{
    const auto after = std::upper_bound(m_chapters.begin(), m_chapters.end(), ms, [](qint64 t, const Chapter &c) { return t < c.start; });
    return after - m_chapters.begin() - 1;
}

QString Chapters::titleAt(qint64 ms) const
{
    const qsizetype i = at(ms);
    return i >= 0 ? m_chapters[i].title : QString();
}

bool Chapters::next()
{
    const qsizetype i = m_player ? at(m_player->position()) + 1 : m_chapters.size();
    if (i >= m_chapters.size())
        return false;
    m_player->seek(m_chapters[i].start);
    return true;
}

bool Chapters::previous()
{
    if (!m_player || m_chapters.isEmpty())
        return false;
    const qint64 now = m_player->position();
    const qsizetype i = std::max<qsizetype>(0, at(now));
    m_player->seek(m_chapters[now - m_chapters[i].start > 3000 || i == 0 ? i : i - 1].start);
    return true;
}

void Chapters::update()
{
    if (assign(m_title, titleAt(m_player ? m_player->position() : 0)))
        Q_EMIT titleChanged();
}

} // namespace vireo
