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
// 11 characters, each an ASCII letter, digit, "-" or "_".
[[nodiscard]] bool isValid(QStringView candidate);
[[nodiscard]] bool isIdChar(QChar c);
} // namespace VideoID

namespace PlaylistID {
// 2 to 64 of the characters of a video ID: lists ("PL…", "OLAK5uy_…") and mixes ("RD…").
[[nodiscard]] bool isValid(QStringView candidate);
// A mix is made for whoever asks, and comes whole rather than in pages.
[[nodiscard]] bool isMix(QStringView id);
} // namespace PlaylistID

// Pasted text, read once: the video it names, where it asks the video to start, and the list it
// belongs to. Nothing else reads a link.
struct Link {
    QString text;                // as pasted, without the white space around it
    QString videoID;             // 11 characters; empty when the link names only a list
    std::optional<qint64> start; // seconds: "t" or "start" in the query or fragment
    QString playlistID;          // empty when the link names no list
    std::optional<int> index;    // the video's place in the list, when the link gives it

    // The video of a bare ID or a watch, youtu.be, shorts, embed, live or v link, and the list its
    // "list" names; a playlist (or any) link of the service's with only a list plays the list.
    // Nothing for anything else. An unreadable start time is no start time.
    [[nodiscard]] static std::optional<Link> parse(const QString &text);

    // The video's watch page on the service, or the list's page when the link names no video.
    [[nodiscard]] QUrl page() const;

    friend bool operator==(const Link &, const Link &) = default;
};

} // namespace vireo
