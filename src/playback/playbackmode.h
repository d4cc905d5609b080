// SPDX-License-Identifier: MIT
#pragma once

#include "mediaplayer.h"

#include <QString>
#include <memory>

namespace vireo {

// What the player area shows. A copy of a native mode shares its player.
struct PlaybackMode {
    enum Kind { Idle, Native, Embed, Failed };

    Kind kind = Idle;
    std::shared_ptr<MediaPlayer> player; // Native only
    QString videoID;                     // Embed only

    static PlaybackMode idle() { return {}; }
    static PlaybackMode native(std::shared_ptr<MediaPlayer> player) { return {Native, std::move(player), {}}; }
    static PlaybackMode embed(const QString &videoID) { return {Embed, nullptr, videoID}; }
    static PlaybackMode failed() { return {Failed, nullptr, {}}; }

    friend bool operator==(const PlaybackMode &, const PlaybackMode &) = default;
};

} // namespace vireo
