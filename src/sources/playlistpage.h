// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

namespace vireo {

// One video of a list, as an instance's answer names it.
struct PlaylistEntry {
    QString videoID;
    QString title;
    qint64 seconds = 0; // 0 when not known
    int index = -1;     // its place in the whole list, from 0, when the answer numbers it

    friend bool operator==(const PlaylistEntry &, const PlaylistEntry &) = default;
};

// One page of a list's answer: its title, how many videos the list says it has (0 when it does not
// say), and the playable entries of the page.
struct PlaylistPage {
    QString title;
    int total = 0;
    QList<PlaylistEntry> entries;
};

} // namespace vireo
