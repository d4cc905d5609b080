// SPDX-License-Identifier: MIT
#pragma once

#include "mediaplayer.h"
#include "oneshot.h"
#include "net/cancellation.h"

#include <QMetaObject>
#include <QCoroTask>
#include <chrono>
#include <mutex>

namespace vireo {

// Shared by one readiness wait's status subscription and its time-out: whichever finishes first
// resumes the waiter, exactly once, from any thread.
class ResumeBox
{
public:
    explicit ResumeBox(OneShot cont)
        : m_cont(std::move(cont))
    {
    }

    void setCancellable(QMetaObject::Connection subscription);
    void finish(bool value);

private:
    std::mutex m_lock;
    std::optional<OneShot> m_cont;
    QMetaObject::Connection m_cancellable;
};

inline constexpr std::chrono::milliseconds ReadinessTimeout = std::chrono::seconds(10);

// True once the player's item is ready to play; false when it has no item, fails, stays undecided
// for `timeout`, or its request is cancelled: a request that was called off lets its candidate go
// at once rather than holding a stream open until it settles.
QCoro::Task<bool> waitUntilReady(std::shared_ptr<MediaPlayer> player,
                                 std::chrono::milliseconds timeout = ReadinessTimeout, CancelToken cancel = {});

} // namespace vireo
