// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace vireo {

// The service's web host: watch pages, the embed page and its origin.
inline constexpr QLatin1StringView WebHost("www.youtube.com");

// The watch page of a video on `base` (an instance), or on the service itself; empty if it does not parse.
[[nodiscard]] QUrl watchPage(const QString &id, const QString &base = {});

namespace VideoID {

// Reduces pasted text to an 11-character video ID, or nothing.
[[nodiscard]] std::optional<QString> extract(const QString &text);

// 11 characters, each an ASCII letter, digit, "-" or "_".
[[nodiscard]] bool isValid(QStringView candidate);

// Where a link asks the video to start, in seconds: "t" or "start" in its query or fragment, as
// "754", "754s" or "12m34s"; nothing for a bare ID, a link without a video, or an unreadable time.
[[nodiscard]] std::optional<qint64> startTime(const QString &text);

} // namespace VideoID
} // namespace vireo
