// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace vireo {

// A time as players show it: "3:25", "1:02:03".
[[nodiscard]] inline QString clockText(qint64 seconds)
{
    const qint64 hours = seconds / 3600;
    const QString minutes = QString::number(seconds / 60 % 60).rightJustified(hours ? 2 : 1, u'0');
    return (hours ? QString::number(hours) + u':' : QString()) + minutes + u':' + QString::number(seconds % 60).rightJustified(2, u'0');
}

} // namespace vireo
