#pragma once

#include <QHash>
#include <QList>

// Holds each rule to at most kAnswersPerSecond answers a second: past that the rule pauses for a
// second, so that an echoing line or a second answerer cannot keep two sides answering for ever.
class AnswerRate
{
public:
    static constexpr int kAnswersPerSecond = 20;
    static constexpr qint64 kPauseMs = 1000;

    enum class Verdict { Answer, Paused, PauseStarts };
    // Whether the rule on line may answer at nowMs; PauseStarts the first time it may not.
    Verdict Ask(int line, qint64 nowMs);

private:
    struct Record {
        QList<qint64> answers; // times of the answers in the last second
        qint64 pausedUntil = -1;
    };
    QHash<int, Record> m_records;
};
