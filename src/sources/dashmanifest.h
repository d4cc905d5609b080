// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace vireo::DashManifest {

struct Rewritten {
    QByteArray manifest;
    int height = 0; // of the video it keeps
};

// Keeps, of an MPEG-DASH manifest, one video representation, the tallest no taller than `maxHeight`
// whose codec begins with one of `videoCodecs` (an earlier one wins at equal height, then the higher
// bandwidth), and one audio representation whose codec begins with one of `audioCodecs`. Nothing
// else is left for a player to fetch: nothing taller than the cap, and no lower start to climb from.
// Every address is resolved against `url` and must be http(s). Nothing when the manifest is not
// XML, offers no such pair, or names a byte range that cannot be.
[[nodiscard]] std::optional<Rewritten> rewrite(const QByteArray &mpd, const QUrl &url, int maxHeight,
                                               const QStringList &videoCodecs, const QStringList &audioCodecs);

} // namespace vireo::DashManifest
