// SPDX-License-Identifier: MIT
#pragma once

#include "videoinfo.h"

namespace vireo::Description {

// The chapters a video's description lists, by the service's own rule: lines that begin or end with
// a time ("12:34", "1:02:03"), the first at 0:00, at least three, in ascending order, each at least
// 10 s long (the last too, when `length`, in ms, is known). A description that breaks the rule
// gives none at all, never part of a list.
[[nodiscard]] QList<Chapter> chapters(const QString &text, qint64 length = 0);

} // namespace vireo::Description
