// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QList>
#include <QString>
#include <optional>

namespace vireo {

// One Invidious instance. `base` is its root URL without a trailing "/"; `uptime` ranks it.
struct Instance {
    QString host;
    QString base;
    double uptime = 0;

    friend bool operator==(const Instance &, const Instance &) = default;

    // The cache file's record form: {"host":…,"base":…,"uptime":…} in that order.
    // Nothing when an uptime is not finite: JSON has no such numbers.
    [[nodiscard]] static std::optional<QByteArray> encode(const QList<Instance> &list);
    // Every record needs all three keys with their JSON types, or the whole list is refused.
    [[nodiscard]] static std::optional<QList<Instance>> decode(const QByteArray &json);

    // An instance of one's own, from the address typed for it: http or https with a host; the host
    // names it, and the address without its query, fragment and trailing slash is its base.
    [[nodiscard]] static std::optional<Instance> fromAddress(const QString &address);
};

inline size_t qHash(const Instance &instance, size_t seed = 0) noexcept
{
    // +0 and -0 compare equal, so they must hash alike.
    const double uptime = instance.uptime == 0 ? 0.0 : instance.uptime;
    return qHashMulti(seed, instance.host, instance.base, uptime);
}

} // namespace vireo
