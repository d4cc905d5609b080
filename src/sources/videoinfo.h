// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace vireo {

// What one instance said of a video: its title and channel when it gave them, and the best stream.
struct VideoInfo {
    std::optional<QString> title;
    std::optional<QString> author;
    QUrl stream;
};

} // namespace vireo
