// SPDX-License-Identifier: MIT
#pragma once

#include "mediaplayer.h"
#include "net/cancellation.h"

#include <QCoroTask>
#include <chrono>

namespace vireo {

inline constexpr std::chrono::milliseconds ReadinessTimeout = std::chrono::seconds(10);

// True once the player's item is ready to play; false when it has no item, fails, stays undecided
// for `timeout`, or its request is cancelled: a request that was called off lets its candidate go
// at once rather than holding a stream open until it settles.
QCoro::Task<bool> waitUntilReady(std::shared_ptr<MediaPlayer> player,
                                 std::chrono::milliseconds timeout = ReadinessTimeout, CancelToken cancel = {});

} // namespace vireo
