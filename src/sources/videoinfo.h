// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace vireo {

// One caption track an answer lists; `url` answers WebVTT.
struct CaptionTrack {
    QString label;
    QString languageCode;
    QUrl url;
};

// One of an answer's separate picture or sound streams.
struct AdaptiveFormat {
    QUrl url;
    QString codec;   // as the type names it: "avc1.4d401f", "opus"
    int height = 0;  // 0 for sound
    qint64 bitrate = 0;
};

// What one instance said of a video: its title and channel when it gave them, the best single-file
// stream, and what else the answer offers, where it offers it.
struct VideoInfo {
    std::optional<QString> title;
    std::optional<QString> author;
    QUrl stream;
    int streamHeight = 0; // of the single-file stream, as its label gives it
    QList<AdaptiveFormat> adaptive; // separate picture and sound streams
    QList<CaptionTrack> captions;
};

} // namespace vireo
