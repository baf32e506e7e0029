#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

// Ends answers that feed themselves. A peer that sends back what it gets (a loopback plug, a line
// with echo on, a program that echoes) returns each answer as a burst; a rule that answers it, or
// two rules that answer each other's answers, would keep both sides busy for ever at whatever
// pace the line allows. An answer to a burst that is one of the last answers sent counts as fed
// back, however long it took to come; once more than kFedBack come in a row, with no other burst
// between, every rule in them pauses for kPauseMs, and the answer that came back last goes
// unanswered, which ends the exchange.
class AnswerLoop
{
public:
    static constexpr int kFedBack = 5;
    static constexpr qint64 kPauseMs = 10000;

    // Whether the rule on line may answer burst at nowMs. When this starts a pause, pausedNow
    // gets the lines it stops, in order.
    bool Ask(QByteArrayView burst, int line, qint64 nowMs, QList<int>& pausedNow);
    // The answer the rule on line sent.
    void Sent(const QByteArray& answer, int line);

    // "line 2 answered ..." or "lines 1 and 2 answered ...": what the lines paused did, and for
    // how long they pause.
    static QString Describe(const QList<int>& lines);

private:
    struct Answer {
        QByteArray bytes;
        int line = 0;
    };
    QList<Answer> m_sent;   // the last few answers
    QList<int> m_fedBackBy; // the rules answering and answered in the answers fed back in a row
    QHash<int, qint64> m_pausedUntil;
};
