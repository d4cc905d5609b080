// SPDX-License-Identifier: MIT
#include "readiness.h"

#include "oneshot.h"

#include <QTimer>
#include <mutex>

namespace vireo {
namespace {

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

} // namespace

void ResumeBox::setCancellable(QMetaObject::Connection subscription)
{
    bool resolved = false;
    {
        const std::lock_guard guard(m_lock);
        resolved = !m_cont;
        if (!resolved)
            m_cancellable = subscription;
    }
    // A notification from another thread may have resolved the wait while it was being subscribed.
    if (resolved)
        QObject::disconnect(subscription);
}

void ResumeBox::finish(bool value)
{
    std::optional<OneShot> cont;
    QMetaObject::Connection subscription;
    {
        const std::lock_guard guard(m_lock);
        cont = std::exchange(m_cont, std::nullopt);
        if (cont)
            subscription = m_cancellable;
    }
    if (!cont)
        return;
    QObject::disconnect(subscription);
    cont->resume(value);
}

QCoro::Task<bool> waitUntilReady(std::shared_ptr<MediaPlayer> player, std::chrono::milliseconds timeout, CancelToken cancel)
{
    if (!player->hasItem() || (cancel && cancel->isCancelled()))
        co_return false;

    const OneShot cont;
    const auto box = std::make_shared<ResumeBox>(cont);
    const auto onStatus = [box](MediaPlayer::ItemStatus status) {
        if (status == MediaPlayer::ItemStatus::ReadyToPlay)
            box->finish(true);
        else if (status == MediaPlayer::ItemStatus::Failed)
            box->finish(false);
    };
    // Subscribe before reading the current value, so a status that settles in between is not missed;
    // the box holds the subscription first, so even the very first value can end it.
    box->setCancellable(QObject::connect(player.get(), &MediaPlayer::statusChanged, player.get(), onStatus));
    onStatus(player->status());
    // Never cancelled: it holds the box until it fires, and then changes nothing if the wait is over.
    QTimer::singleShot(timeout, QCoreApplication::instance(), [box] { box->finish(false); });
    QMetaObject::Connection cancelled;
    if (cancel)
        cancelled = QObject::connect(cancel.get(), &Cancellation::cancelled, cancel.get(), [box] { box->finish(false); });

    const bool ready = co_await cont;
    QObject::disconnect(cancelled);
    // The item may have become ready just before the request was called off, while this waited to resume.
    co_return ready && !(cancel && cancel->isCancelled());
}

} // namespace vireo
