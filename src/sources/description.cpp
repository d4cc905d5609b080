// SPDX-License-Identifier: MIT
#include "description.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace vireo::Description {
namespace {

constexpr qint64 Shortest = 10'000;

// "1:02:03" or "12:34"; minutes count up to an hour only beside hours.
std::optional<qint64> time(const QRegularExpressionMatch &match)
{
    const qint64 h = match.captured(u"h").toLongLong(), m = match.captured(u"m").toLongLong(), s = match.captured(u"s").toLongLong();
    if (s >= 60 || (match.hasCaptured(u"h") && m >= 60))
        return std::nullopt;
    return ((h * 60 + m) * 60 + s) * 1000;
}

} // namespace

QList<Chapter> chapters(const QString &text, qint64 length)
{
    // A time at either end of a line, bracketed or not, set off from the title by dashes, colons,
    // bars or bullets; a time in the middle of a sentence is no chapter.
    const QString stamp = uR"((?:(?<h>\d{1,2}):)?(?<m>\d{1,2}):(?<s>\d{2}))"_s;
    const QRegularExpression leading(uR"(^[\s\-–—•·*\[(]*)"_s + stamp + uR"((?![\d:])[\s\-–—:|•·*\])]*)"_s);
    const QRegularExpression trailing(uR"((?:^|[\s\[(]))"_s + stamp + uR"([\s\])]*$)"_s);
    const QRegularExpression bullets(uR"(^[\s\-–—•·*]+)"_s);
    const QRegularExpression trailingSeparators(uR"([\s\-–—:|•·*\[(]+$)"_s);

    QList<Chapter> list;
    for (const QString &line : text.split(u'\n')) {
        QRegularExpressionMatch match = leading.match(line);
        QString title;
        if (match.hasMatch())
            title = line.mid(match.capturedEnd());
        else if (match = trailing.match(line); match.hasMatch())
            title = line.left(match.capturedStart()).remove(trailingSeparators).remove(bullets);
        else
            continue;
        const auto start = time(match);
        if (!start)
            return {};
        list.append({*start, title.trimmed()});
    }

    if (list.size() < 3 || list.first().start != 0)
        return {};
    for (qsizetype i = 1; i < list.size(); ++i)
        if (list[i].start - list[i - 1].start < Shortest)
            return {};
    if (length > 0 && length - list.last().start < Shortest)
        return {};
    return list;
}

} // namespace vireo::Description
