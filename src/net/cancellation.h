// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <memory>

namespace vireo {

// Shared by one request and whoever may call it off. Cancelling is sticky; work in flight that
// can stop early (an HTTP reply) listens to cancelled(), everything else checks isCancelled().
class Cancellation : public QObject
{
    Q_OBJECT
public:
    [[nodiscard]] bool isCancelled() const { return m_cancelled; }
    void cancel()
    {
        if (m_cancelled)
            return;
        m_cancelled = true;
        Q_EMIT cancelled();
    }

Q_SIGNALS:
    void cancelled();

private:
    bool m_cancelled = false;
};

using CancelToken = std::shared_ptr<Cancellation>;

} // namespace vireo
