// SPDX-License-Identifier: MIT
#include "webvtt.h"

#include <QRegularExpression>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace vireo::WebVtt {
namespace {

// [hh:]mm:ss.ttt, hours of any length.
std::optional<qint64> timestamp(const QString &text)
{
    static const QRegularExpression form(u"^(?:(\\d{1,9}):)?(\\d{2}):(\\d{2})\\.(\\d{3})$"_s);
    const auto match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const qint64 minutes = match.capturedView(2).toLongLong();
    const qint64 seconds = match.capturedView(3).toLongLong();
    if (minutes > 59 || seconds > 59)
        return std::nullopt;
    return ((match.capturedView(1).toLongLong() * 60 + minutes) * 60 + seconds) * 1000 + match.capturedView(4).toLongLong();
}

QString plain(QString text)
{
    static const QRegularExpression tag(u"<[^>]*>"_s);
    text.remove(tag);
    // The entity names WebVTT knows; anything else stays as it was written.
    return text.replace(u"&lt;"_s, u"<"_s).replace(u"&gt;"_s, u">"_s).replace(u"&nbsp;"_s, u"\u00a0"_s)
        .replace(u"&lrm;"_s, u"\u200e"_s).replace(u"&rlm;"_s, u"\u200f"_s).replace(u"&amp;"_s, u"&"_s);
}

} // namespace

std::optional<QList<Cue>> parse(const QByteArray &body)
{
    QString text = QString::fromUtf8(body);
    if (text.startsWith(u'\ufeff'))
        text.remove(0, 1);
    text.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    const QStringList blocks = text.split(u"\n\n"_s);
    static const QRegularExpression header(u"^WEBVTT(?:[ \t\n]|$)"_s);
    if (!header.match(blocks.first()).hasMatch())
        return std::nullopt;

    QList<Cue> cues;
    for (qsizetype b = 1; b < blocks.size(); ++b) {
        QStringList lines = blocks[b].split(u'\n');
        while (!lines.isEmpty() && lines.first().trimmed().isEmpty()) // a run of blank lines
            lines.removeFirst();
        while (!lines.isEmpty() && lines.last().isEmpty()) // the file's last line break
            lines.removeLast();
        // An identifier may stand before the timing line; notes, styles and regions have none.
        const qsizetype timing = !lines.isEmpty() && lines.first().contains(u"-->"_s) ? 0 : 1;
        if (timing >= lines.size() || !lines[timing].contains(u"-->"_s))
            continue;
        const QStringList times = lines[timing].split(u"-->"_s);
        const auto start = timestamp(times[0].trimmed());
        static const QRegularExpression blank(u"[ \t]"_s);
        const auto end = timestamp(times.value(1).trimmed().section(blank, 0, 0)); // settings may follow
        if (!start || !end || *end <= *start)
            continue;
        cues.append({*start, *end, plain(lines.mid(timing + 1).join(u'\n'))});
    }
    return cues;
}

} // namespace vireo::WebVtt
