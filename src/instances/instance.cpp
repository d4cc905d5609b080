// SPDX-License-Identifier: MIT
#include "instance.h"

#include "net/http.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

using namespace Qt::StringLiterals;

namespace vireo {
namespace {

// A JSON scalar as text, escaped by Qt's own writer.
QByteArray jsonScalar(const QJsonValue &value)
{
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

} // namespace

std::optional<QByteArray> Instance::encode(const QList<Instance> &list)
{
    // QJsonObject sorts its keys, so the record is written by hand to keep host, base, uptime.
    QByteArray json = "[";
    for (const Instance &instance : list) {
        if (!std::isfinite(instance.uptime))
            return std::nullopt;
        if (json.size() > 1)
            json += ',';
        json += "{\"host\":" + jsonScalar(instance.host) + ",\"base\":" + jsonScalar(instance.base)
            + ",\"uptime\":" + jsonScalar(instance.uptime) + '}';
    }
    return json + ']';
}

std::optional<QList<Instance>> Instance::decode(const QByteArray &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    QList<Instance> list;
    list.reserve(array.size());
    for (const QJsonValue &value : array) {
        const QJsonObject record = value.toObject();
        const QJsonValue host = record.value(u"host"_s);
        const QJsonValue base = record.value(u"base"_s);
        const QJsonValue uptime = record.value(u"uptime"_s);
        if (!value.isObject() || !host.isString() || !base.isString() || !uptime.isDouble())
            return std::nullopt;
        list.append({host.toString(), base.toString(), uptime.toDouble()});
    }
    return list;
}

std::optional<Instance> Instance::fromAddress(const QString &address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    if (!Http::isWebUrl(url))
        return std::nullopt;
    const QUrl base = url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::StripTrailingSlash);
    return Instance{url.host(), base.toString(), 0};
}

} // namespace vireo
