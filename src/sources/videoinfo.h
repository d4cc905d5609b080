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

// What one instance said of a video: its title and channel when it gave them, the best single-file
// stream, and what else the answer offers, where it offers it.
struct VideoInfo {
    std::optional<QString> title;
    std::optional<QString> author;
    QUrl stream;
    int streamHeight = 0; // of the single-file stream, as its label gives it
    QUrl manifest;        // adaptive streams (MPEG-DASH); empty when there is none
    QList<int> heights;   // of the adaptive video streams
    QList<CaptionTrack> captions;
};

} // namespace vireo
