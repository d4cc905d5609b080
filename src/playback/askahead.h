// SPDX-License-Identifier: MIT
#pragma once

#include "net/cancellation.h"
#include "sources/sourcefamily.h"

#include <QPointer>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QCoroTask>
#include <chrono>
#include <map>
#include <memory>

namespace vireo {

// The answers to one request's attempts. Each is asked when the request comes to it, and when the
// one asked last has not answered for a while, the next source is asked too, ahead of its turn:
// a source that hangs costs its own time, not that of every source after it. At most three are
// asked at once; answers are still taken in rank order.
class AskAhead : public QObject
{
    Q_OBJECT
public:
    static constexpr int MostAtOnce = 3;

    // `patience`: how long the one asked last may go unanswered before the next is asked too.
    AskAhead(QList<std::shared_ptr<Attempt>> attempts, std::chrono::milliseconds patience, CancelToken cancel);

    // The answer of attempt `index`, asked now when it was not yet.
    QCoro::Task<Answer> answer(int index);
    // Attempts at `source` are not asked ahead, nor again: it gave no answer at all.
    void skip(const QString &source) { m_skipped.insert(source); }
    [[nodiscard]] bool skipped(int index) const { return m_skipped.contains(m_attempts[index]->source()); }

Q_SIGNALS:
    // "Trying a, b…": the sources being asked, best first.
    void statusChanged(const QString &status);

private:
    // Keeps the attempt alive while it is asked: the request may end before its answer comes.
    static QCoro::Task<Answer> ask(QPointer<AskAhead> self, std::shared_ptr<Attempt> attempt, int index, CancelToken cancel);
    void launch(int index);
    // Asks the next source ahead, when the one asked last is overdue and there is room.
    void askAhead();
    void showAsking();

    const QList<std::shared_ptr<Attempt>> m_attempts;
    const CancelToken m_cancel;
    std::map<int, QCoro::Task<Answer>> m_asks; // asked and not yet taken
    QSet<int> m_asked;
    QList<int> m_pending; // asked and not yet answered
    QSet<QString> m_skipped;
    int m_current = 0;    // the attempt whose turn it is
    int m_latest = -1;    // the attempt asked last
    bool m_overdue = false;
    QTimer m_patience;
    QString m_shown;
};

} // namespace vireo
