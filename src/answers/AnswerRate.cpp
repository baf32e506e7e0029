#include "answers/AnswerRate.h"

AnswerRate::Verdict AnswerRate::Ask(int line, qint64 nowMs)
{
    Record& record = m_records[line];
    if (nowMs < record.pausedUntil)
        return Verdict::Paused;
    while (!record.answers.isEmpty() && record.answers.first() <= nowMs - 1000)
        record.answers.removeFirst();
    if (record.answers.size() >= kAnswersPerSecond) {
        record.answers.clear();
        record.pausedUntil = nowMs + kPauseMs;
        return Verdict::PauseStarts;
    }
    record.answers.append(nowMs);
    return Verdict::Answer;
}
