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

// Where one chapter of a video starts (ms), and its title as plain text.
struct Chapter {
    qint64 start = 0;
    QString title;

    friend bool operator==(const Chapter &, const Chapter &) = default;
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
    QList<Chapter> chapters; // none, or a whole list by the service's rule
};

} // namespace vireo
