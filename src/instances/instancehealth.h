// SPDX-License-Identifier: MIT
#pragma once

#include "instance.h"

#include <QByteArray>
#include <QDateTime>
#include <QCoroTask>

namespace vireo::InstanceHealth {

// What an instance did when this machine last asked it.
enum class Outcome { Played, Unusable, TimedOut, Refused };

// Keeps what `instance` did in "health.json" beside the instance cache; Played forgets its failures.
// Written whole, in the order recorded, off the main thread.
void record(const Instance &instance, Outcome outcome);

// `list`, best first, with the instances that failed here lately behind the others (each part in
// its own order): for 30 minutes after one did not answer, 10 after an unusable answer. Records of
// instances that are not in `list` are let go; a file that cannot be read counts as none.
QCoro::Task<QList<Instance>> ranked(QList<Instance> list);

// The same from a file's contents at `now`, and the contents to keep (empty when unchanged).
[[nodiscard]] std::pair<QList<Instance>, QByteArray> ranked(const QList<Instance> &list, const QByteArray &file,
                                                            const QDateTime &now);

} // namespace vireo::InstanceHealth
