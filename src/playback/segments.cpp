// SPDX-License-Identifier: MIT
#include "segments.h"

#include "settings.h"

using namespace Qt::StringLiterals;

namespace vireo {
namespace {

// Playing on moves the position a frame or a few at a time, even at 2x on a busy machine; a longer
// move forward is a seek whose stale positions mpv was still reporting.
constexpr qint64 LongestStep = 3000;

const SegmentDatabase::Category *category(const Segment &segment)
{
    const auto &all = SegmentDatabase::categories();
    const auto found = std::find_if(all.begin(), all.end(), [&](const auto &c) { return c.key == segment.category; });
    return found == all.end() ? nullptr : &*found;
}

} // namespace

Segments::Segments(QObject *parent)
    : QObject(parent)
{
    connect(&Settings::instance(), &Settings::skipSegmentsChanged, this, &Segments::settingChanged);
}

Segments::~Segments()
{
    if (m_asking)
        m_asking->cancel();
}

void Segments::begin(const QString &id)
{
    if (m_asking)
        m_asking->cancel();
    m_asking = nullptr;
    m_id = id;
    m_answer.clear();
    m_kept.clear();
    m_skip.reset();
    follow(nullptr);
    settingChanged();
}

void Segments::settingChanged()
{
    if (!Settings::instance().skipSegments()) {
        if (m_asking)
            m_asking->cancel();
        m_asking = nullptr;
        m_answer.clear();
        refit();
    } else if (!m_asking && !m_id.isEmpty()) {
        m_asking = std::make_shared<Cancellation>();
        ask(m_id, m_asking);
    }
}

QCoro::Task<> Segments::ask(QString id, CancelToken cancel)
{
    const QPointer self(this);
    const QString server = Settings::instance().segmentServer();
    const auto segments = co_await SegmentDatabase::fetch(server, id, cancel);
    if (!self || cancel->isCancelled() || !segments)
        co_return;
    m_answer = *segments;
    refit();
}

void Segments::follow(MediaPlayer *player)
{
    if (m_player)
        disconnect(m_player, nullptr, this, nullptr);
    m_player = player;
    m_last = player ? player->position() : 0;
    m_landed = m_last > 0 ? std::optional(m_last) : std::nullopt;
    if (player) {
        connect(player, &MediaPlayer::positionChanged, this, &Segments::moved);
        connect(player, &MediaPlayer::seeked, this, &Segments::landed);
        connect(player, &MediaPlayer::durationChanged, this, &Segments::refit);
    }
    refit();
}

void Segments::refit()
{
    m_segments = SegmentDatabase::fit(m_answer, m_player ? m_player->duration() : 0);
    m_passed.clear();
    // Where the video already is, it got to by a seek, or before the answer came: no skip there.
    for (const Segment &s : std::as_const(m_segments))
        m_passed.append(m_kept.contains(s) || (m_landed && s.start <= *m_landed && *m_landed < s.end));
    Q_EMIT marksChanged();
}

QVariantList Segments::marks() const
{
    QVariantList marks;
    for (const Segment &s : m_segments)
        marks.append(QVariantMap{{u"start"_s, s.start}, {u"end"_s, s.end}, {u"colour"_s, category(s)->colour}});
    return marks;
}

void Segments::landed(qint64 ms)
{
    // A seek before a segment starts a new pass over it; one into it plays it.
    m_landed = m_last = ms;
    for (qsizetype i = 0; i < m_segments.size(); ++i) {
        if (ms < m_segments[i].start)
            m_passed[i] = m_kept.contains(m_segments[i]);
        else if (ms < m_segments[i].end)
            m_passed[i] = true;
    }
}

void Segments::moved()
{
    const qint64 at = m_player->position();
    const qint64 step = at - std::exchange(m_last, at);
    // The setting is read from its file: not on every step of a video with nothing to skip.
    if (step <= 0 || step > LongestStep || m_segments.isEmpty() || !Settings::instance().skipSegments())
        return;
    // Past every skipped segment it is in, overlapping ones too, so that it lands in none of them.
    qint64 to = at;
    QList<Segment> over;
    for (bool more = true; more;) {
        more = false;
        for (qsizetype i = 0; i < m_segments.size(); ++i) {
            const Segment &s = m_segments[i];
            if (!m_passed[i] && category(s)->skipped && s.start <= to && to < s.end) {
                m_passed[i] = more = true;
                to = s.end;
                over.append(s);
            }
        }
    }
    if (over.isEmpty())
        return;
    m_skip = Skip{at, over};
    m_player->seek(to);
    Q_EMIT skipped();
}

void Segments::undo()
{
    if (!m_player || !m_skip)
        return;
    const Skip skip = *std::exchange(m_skip, std::nullopt);
    m_kept += skip.over;
    m_player->seek(skip.from);
}

} // namespace vireo
