// SPDX-License-Identifier: MIT
// Reading and ranking the public directory's instances: pure functions, no network, any thread.
#include "instancelist.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <cmath>
#include <cstdlib>
#include <ctype.h>
#include <locale.h>

using namespace Qt::StringLiterals;

namespace vireo::InstanceList {
namespace {

// strtod in the C locale, whatever the process locale is, and only when it consumes the whole
// text: no leading white space, nothing left over.
std::optional<double> cNumber(const QString &text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty() || isspace_l(static_cast<unsigned char>(bytes.front()), cLocale))
        return std::nullopt;
    char *end = nullptr;
    const double value = strtod_l(bytes.constData(), &end, cLocale);
    if (end != bytes.constData() + bytes.size())
        return std::nullopt;
    return value;
}

double rankingFigure(const QJsonObject &details)
{
    const QJsonValue monitorValue = details.value(u"monitor"_s);
    if (!monitorValue.isObject())
        return 0;
    const QJsonObject monitor = monitorValue.toObject();
    if (const QJsonValue uptime = monitor.value(u"uptime"_s); uptime.isDouble())
        return uptime.toDouble();
    for (const auto &key : {u"30dRatio"_s, u"weeklyRatio"_s}) {
        const QJsonValue ratio = monitor.value(key).toObject().value(u"ratio"_s);
        if (!ratio.isString())
            continue;
        if (const auto number = cNumber(ratio.toString()))
            return *number;
    }
    return 0;
}

} // namespace

std::optional<QList<Instance>> parseDirectory(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isArray())
        return std::nullopt;
    const QJsonArray entries = document.array();
    if (!std::all_of(entries.begin(), entries.end(), [](const QJsonValue &v) { return v.isArray(); }))
        return std::nullopt;

    QList<Instance> list;
    for (const QJsonValue &entryValue : entries) {
        const QJsonArray entry = entryValue.toArray();
        if (entry.size() < 2 || !entry.at(0).isString() || !entry.at(1).isObject())
            continue;
        const QJsonObject details = entry.at(1).toObject();
        const QJsonValue uri = details.value(u"uri"_s);
        if (details.value(u"type"_s) != QJsonValue(u"https"_s) || details.value(u"api"_s) != QJsonValue(true)
            || !uri.isString() || !uri.toString().startsWith(u"https://"_s))
            continue;
        QString base = uri.toString();
        if (base.endsWith(u'/'))
            base.chop(1);
        // "https://" alone would leave "https:/", and requests built on it would go to a host named
        // after the API path.
        if (!base.startsWith(u"https://"_s) || QUrl(base).host().isEmpty())
            continue;
        list.append({entry.at(0).toString(), base, rankingFigure(details)});
    }
    return list;
}

QList<Instance> ranked(QList<Instance> list, int n)
{
    const auto rank = [](const Instance &i) { return std::isnan(i.uptime) ? 0.0 : i.uptime; };
    std::stable_sort(list.begin(), list.end(), [&](const Instance &a, const Instance &b) { return rank(a) > rank(b); });
    return list.mid(0, std::clamp<qsizetype>(n, 0, list.size()));
}

} // namespace vireo::InstanceList
