// SPDX-License-Identifier: MIT
#pragma once

#include "net/cancellation.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <QCoroTask>
#include <optional>

namespace vireo {

// A stretch of a video that the community marked (ms), and what they marked it as.
struct Segment {
    qint64 start = 0;
    qint64 end = 0;
    QString category; // one of SegmentDatabase::categories()' keys

    friend bool operator==(const Segment &, const Segment &) = default;
};

// The community's segment database (SponsorBlock's API), asked so that it never learns which video
// plays: by the first 4 hex characters of the SHA-256 of its ID, of which many videos share each.
namespace SegmentDatabase {

struct Category {
    QString key;    // as the database names it
    QString name;   // as people read it
    QString colour; // on the seek bar and in the legend
    bool skipped;   // skipped when skipping is on; the others are only marked
};

// Skipped ones first.
[[nodiscard]] const QList<Category> &categories();

// `server` + "/api/skipSegments/" + the prefix, asking for categories() only.
[[nodiscard]] QUrl query(const QString &server, const QString &id);

// The segments of video `id` in an answer, in its order: those of other videos with the same prefix,
// of other categories or actions, and any that are not a stretch forward in time, are left out.
// Nothing when the answer is not one (not a JSON array).
[[nodiscard]] std::optional<QList<Segment>> parse(const QByteArray &body, const QString &id);

// What of `segments` a video of `duration` ms has room for: cut off at its end, and without any that
// would take most of it (over 90 %), which is no segment but a mistake or a prank.
[[nodiscard]] QList<Segment> fit(const QList<Segment> &segments, qint64 duration);

// Asks `server` for video `id`'s segments within 6 s and the usual size cap; nothing when it cannot
// be had.
QCoro::Task<std::optional<QList<Segment>>> fetch(QString server, QString id, CancelToken cancel = {});

} // namespace SegmentDatabase
} // namespace vireo
