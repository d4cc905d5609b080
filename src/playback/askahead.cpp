// SPDX-License-Identifier: MIT
#include "askahead.h"

using namespace Qt::StringLiterals;

namespace vireo {

AskAhead::AskAhead(QList<std::shared_ptr<Attempt>> attempts, std::chrono::milliseconds patience, CancelToken cancel)
    : m_attempts(std::move(attempts))
    , m_cancel(std::move(cancel))
{
    m_patience.setSingleShot(true);
    m_patience.setInterval(patience);
    connect(&m_patience, &QTimer::timeout, this, [this] {
        m_overdue = true;
        askAhead();
    });
}

QCoro::Task<Answer> AskAhead::answer(int index)
{
    m_current = index;
    if (!m_asked.contains(index))
        launch(index);
    // Taken out before the wait: a task is awaited once.
    QCoro::Task<Answer> task = std::move(m_asks.at(index));
    m_asks.erase(index);
    co_return co_await task;
}

QCoro::Task<Answer> AskAhead::ask(QPointer<AskAhead> self, std::shared_ptr<Attempt> attempt, int index, CancelToken cancel)
{
    const Answer answer = co_await attempt->ask(cancel);
    if (self) {
        self->m_pending.removeOne(index);
        if (answer.silent)
            self->skip(attempt->source());
        self->showAsking();
        // Not from inside the answer: the request takes it first.
        QMetaObject::invokeMethod(self, &AskAhead::askAhead, Qt::QueuedConnection);
    }
    co_return answer;
}

void AskAhead::launch(int index)
{
    m_asked.insert(index);
    m_pending.append(index);
    m_latest = index;
    m_overdue = false;
    m_patience.start();
    showAsking();
    // Added after the bookkeeping: an answer that comes at once finds it done.
    m_asks.emplace(index, ask(this, m_attempts[index], index, m_cancel));
}

void AskAhead::askAhead()
{
    if (m_cancel->isCancelled() || !m_overdue || !m_pending.contains(m_latest) || m_pending.size() >= MostAtOnce)
        return;
    // The next source not asked yet, by its first attempt: another source's, not this one's again.
    QSet<QString> seen;
    for (int i = 0; i < m_attempts.size(); ++i) {
        const QString source = m_attempts[i]->source();
        const bool first = !seen.contains(source);
        seen.insert(source);
        if (i > m_current && first && !m_asked.contains(i) && !m_skipped.contains(source)) {
            launch(i);
            return;
        }
    }
}

void AskAhead::showAsking()
{
    QList<int> asking = m_pending;
    std::sort(asking.begin(), asking.end());
    QStringList labels;
    for (const int i : std::as_const(asking))
        labels.append(m_attempts[i]->label());
    const QString status = u"Trying "_s + labels.join(u", "_s) + u"…"_s;
    if (labels.isEmpty() || status == m_shown)
        return;
    m_shown = status;
    Q_EMIT statusChanged(status);
}

} // namespace vireo
