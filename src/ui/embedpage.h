// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace vireo {

// The page that hosts the service's embeddable player for one video, asking for captions in
// `captionLanguage` when it names one, and to start at `start` seconds when that is above 0. The ID
// goes in unescaped, which is safe only because a video ID is 11 ASCII letters, digits, "-" or "_";
// a language that is not a plain code is left out.
[[nodiscard]] QString embedPage(const QString &videoID, const QString &captionLanguage = {}, int start = -1);

} // namespace vireo
