// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace vireo {

// One caption cue: shown from `start` until just before `end` (milliseconds), as plain text.
struct Cue {
    qint64 start = 0;
    qint64 end = 0;
    QString text;

    friend bool operator==(const Cue &, const Cue &) = default;
};

namespace WebVtt {

// Reads a WebVTT file into its cues, in file order; nothing when it is not WebVTT. Notes, styles and
// regions are skipped, cue settings ignored, and markup (bold, italics, classes, voices, inner
// timestamps) is dropped: what a server sends is never shown as rich text.
[[nodiscard]] std::optional<QList<Cue>> parse(const QByteArray &body);

} // namespace WebVtt
} // namespace vireo
