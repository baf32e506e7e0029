#pragma once

#include <QString>

#include <map>

// The counts of a repeat, which do not overlap, and the times its replies took to begin; the
// figures of its verdict line.
class RepeatTally
{
public:
    enum class Outcome { Answered, NoReply, BadCheck, NotMatched, Awaited };

    // A send judged; answerMs, from the send to the reply's first byte, when that came in time.
    void Record(Outcome outcome, qint64 answerMs = -1);
    void Skip(qint64 count) { m_skipped += count; }
    void ClockJumped(qint64 byMs);

    qint64 count(Outcome outcome) const { return m_counts[int(outcome)]; }
    qint64 sent() const;
    qint64 skipped() const { return m_skipped; }
    qint64 failed() const;
    // The answer time at or below which percent of them lie (nearest rank); -1 with none.
    qint64 Percentile(int percent) const;

    // "1000 sent, 990 answered, 6 without a reply within 1000 ms, 3 failed their check value,
    // 1 not matched, 0 skipped; answer 12 / 14 / 19 / 41 ms (min / median / p95 / max)", and the
    // clock's jumps when there were any.
    QString Figures(int replyWindowMs) const;

private:
    qint64 m_counts[5] = {};
    qint64 m_skipped = 0;
    qint64 m_timed = 0;
    // How many answers took each whole millisecond: a soak of days holds a few hundred entries.
    std::map<qint64, qint64> m_times;
    qint64 m_jumps = 0;
    qint64 m_jumpedMs = 0;
};
