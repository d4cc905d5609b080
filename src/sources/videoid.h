// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <optional>

namespace vireo {

// The service's web host: watch pages, the embed page and its origin.
inline constexpr auto WebHost = u"www.youtube.com";

namespace VideoID {

// Reduces pasted text to an 11-character video ID, or nothing.
[[nodiscard]] std::optional<QString> extract(const QString &text);

// 11 characters, each an ASCII letter, digit, "-" or "_".
[[nodiscard]] bool isValid(QStringView candidate);

} // namespace VideoID
} // namespace vireo
