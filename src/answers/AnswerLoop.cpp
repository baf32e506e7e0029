#include "answers/AnswerLoop.h"

#include <QStringList>

#include <algorithm>

namespace
{

// Enough to see an answer come back among the few a loop of rules sends in turn.
constexpr qsizetype kRemembered = 8;

} // namespace

bool AnswerLoop::Ask(QByteArrayView burst, int line, qint64 nowMs, QList<int>& pausedNow)
{
    if (nowMs < m_pausedUntil.value(line, -1))
        return false;
    const auto back = std::find_if(m_sent.crbegin(), m_sent.crend(),
                                   [burst](const Answer& answer) { return answer.bytes == burst; });
    if (back == m_sent.crend()) {
        m_fedBackBy.clear();
        return true;
    }
    m_fedBackBy << line << back->line;
    if (m_fedBackBy.size() <= 2 * kFedBack)
        return true;
    pausedNow = std::exchange(m_fedBackBy, {});
    std::sort(pausedNow.begin(), pausedNow.end());
    pausedNow.erase(std::unique(pausedNow.begin(), pausedNow.end()), pausedNow.end());
    for (int paused : std::as_const(pausedNow))
        m_pausedUntil.insert(paused, nowMs + kPauseMs);
    return false;
}

void AnswerLoop::Sent(const QByteArray& answer, int line)
{
    m_sent.append({answer, line});
    if (m_sent.size() > kRemembered)
        m_sent.removeFirst();
}

QString AnswerLoop::Describe(const QList<int>& lines)
{
    QStringList numbers;
    for (int line : lines)
        numbers << QString::number(line);
    const QString last = numbers.takeLast();
    const bool one = numbers.isEmpty();
    return QStringLiteral("%1 %2 answered %3 own answers, sent back by the peer, %4 times in a "
                          "row: paused for %5 seconds")
        .arg(one ? QStringLiteral("line") : QStringLiteral("lines"),
             one ? last : numbers.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last,
             one ? QStringLiteral("its") : QStringLiteral("their"))
        .arg(kFedBack)
        .arg(kPauseMs / 1000);
}
