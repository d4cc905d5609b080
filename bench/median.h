// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <algorithm>

// The middle of a benchmark's runs, which one slow run on a busy machine does not move.
inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}
