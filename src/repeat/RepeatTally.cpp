#include "repeat/RepeatTally.h"

void RepeatTally::Record(Outcome outcome, qint64 answerMs)
{
    ++m_counts[int(outcome)];
    if (answerMs >= 0) {
        ++m_times[answerMs];
        ++m_timed;
    }
}

void RepeatTally::ClockJumped(qint64 byMs)
{
    ++m_jumps;
    m_jumpedMs += byMs;
}

qint64 RepeatTally::sent() const
{
    qint64 sent = 0;
    for (const qint64 count : m_counts)
        sent += count;
    return sent;
}

qint64 RepeatTally::failed() const
{
    return count(Outcome::NoReply) + count(Outcome::BadCheck) + count(Outcome::NotMatched);
}

qint64 RepeatTally::Percentile(int percent) const
{
    if (m_timed == 0)
        return -1;
    // The rank of the answer, from 1: the least that has percent of them at or below it.
    const qint64 rank = qMax<qint64>(1, (m_timed * percent + 99) / 100);
    qint64 seen = 0;
    for (const auto& [ms, count] : m_times) {
        seen += count;
        if (seen >= rank)
            return ms;
    }
    return m_times.rbegin()->first;
}

QString RepeatTally::Figures(int replyWindowMs) const
{
    QString figures = QStringLiteral("%1 sent, %2 answered, %3 without a reply within %4 ms, %5 "
                                     "failed their check value, %6 not matched, %7 skipped")
                          .arg(sent())
                          .arg(count(Outcome::Answered))
                          .arg(count(Outcome::NoReply))
                          .arg(replyWindowMs)
                          .arg(count(Outcome::BadCheck))
                          .arg(count(Outcome::NotMatched))
                          .arg(m_skipped);
    if (count(Outcome::Awaited) > 0)
        figures += QStringLiteral(", %1 still awaited").arg(count(Outcome::Awaited));
    if (m_timed == 0)
        figures += QStringLiteral("; no answer to time");
    else
        figures += QStringLiteral("; answer %1 / %2 / %3 / %4 ms (min / median / p95 / max)")
                       .arg(Percentile(0))
                       .arg(Percentile(50))
                       .arg(Percentile(95))
                       .arg(Percentile(100));
    if (m_jumps == 1)
        figures +=
            QStringLiteral("; the clock jumped once, by %1 s").arg(qRound64(m_jumpedMs / 1e3));
    else if (m_jumps > 1)
        figures += QStringLiteral("; the clock jumped %1 times, by %2 s in all")
                       .arg(m_jumps)
                       .arg(qRound64(m_jumpedMs / 1e3));
    return figures;
}
