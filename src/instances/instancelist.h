// SPDX-License-Identifier: MIT
#pragma once

#include "instance.h"

#include <QUrl>
#include <QCoroTask>

namespace vireo::InstanceList {

// The public directory of Invidious instances.
[[nodiscard]] QUrl directoryUrl();

// Five built-in instances, tried in this order when nothing better is known.
[[nodiscard]] const QList<Instance> &fallback();

// Reads a directory body: nothing when it is not an array of arrays; otherwise every entry that can
// serve the API over HTTPS, in directory order.
[[nodiscard]] std::optional<QList<Instance>> parseDirectory(const QByteArray &body);

// Downloads and reads the directory; nothing on any failure.
QCoro::Task<std::optional<QList<Instance>>> fetch(QUrl directory = directoryUrl());

// The cache file's path ("Vireo/instances.json" in the user's caches folder), creating the folder.
// Empty when the platform names no caches folder.
[[nodiscard]] QString cacheURL();

// Writes the list to the cache file at `path`, whole or not at all; false when it could not, or when
// an uptime is not finite.
bool store(const QString &path, const QList<Instance> &list);

// Fresh cache, else the directory (then cached), else the cache at any age, else the built-in list.
// Never empty; unsorted.
QCoro::Task<QList<Instance>> load(QUrl directory = directoryUrl());

// The n best instances by uptime, best first; ties keep load()'s order.
QCoro::Task<QList<Instance>> top(int n, QUrl directory = directoryUrl());

// Stable, best first; an uptime that is not a number ranks as 0.
[[nodiscard]] QList<Instance> ranked(QList<Instance> list, int n);

} // namespace vireo::InstanceList
