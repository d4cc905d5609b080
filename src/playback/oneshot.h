// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <coroutine>
#include <memory>
#include <mutex>
#include <optional>

namespace vireo {

// A continuation that yields a bool, resumed at most once. The waiter always resumes from the main
// event loop, never inside whoever resolves it: resolving may happen on any thread, or in the middle
// of a call such as play() that must finish its own steps first.
class OneShot
{
public:
    OneShot()
        : m_state(std::make_shared<State>())
    {
    }

    // True when this call resolved it; later calls change nothing.
    bool resume(bool value) const
    {
        std::coroutine_handle<> waiter;
        {
            const std::lock_guard guard(m_state->lock);
            if (m_state->value)
                return false;
            m_state->value = value;
            waiter = std::exchange(m_state->waiter, nullptr);
        }
        if (waiter)
            QMetaObject::invokeMethod(QCoreApplication::instance(), [waiter] { waiter.resume(); }, Qt::QueuedConnection);
        return true;
    }

    friend bool operator==(const OneShot &a, const OneShot &b) { return a.m_state == b.m_state; }

    auto operator co_await() const
    {
        struct Awaiter {
            std::shared_ptr<State> state;
            bool await_ready() const
            {
                const std::lock_guard guard(state->lock);
                return state->value.has_value();
            }
            bool await_suspend(std::coroutine_handle<> handle)
            {
                const std::lock_guard guard(state->lock);
                if (state->value)
                    return false;
                state->waiter = handle;
                return true;
            }
            bool await_resume() const { return *state->value; }
        };
        return Awaiter{m_state};
    }

private:
    struct State {
        std::mutex lock;
        std::optional<bool> value;
        std::coroutine_handle<> waiter;
    };
    std::shared_ptr<State> m_state;
};

} // namespace vireo
