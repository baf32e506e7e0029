#pragma once

#include <QString>
#include <QStringList>

// What a repeat is asked to do: which commands, how often, when, and what counts as a failure.
struct RepeatPlan {
    static constexpr int kEveryMinMs = 10;
    static constexpr int kEveryMaxMs = 3'600'000;
    static constexpr int kTimesMax = 1'000'000;
    static constexpr int kWaitMinMs = 1;
    static constexpr int kWaitMaxMs = 3'600'000;
    static constexpr int kDefaultWaitMs = 1000;
    // A reply is complete this long after its first byte, as the links' settle wait has it.
    static constexpr int kSettleMs = 300;

    QStringList commands; // as typed, each sent in turn, one a slot
    int everyMs = 1000;   // 0: the next goes once the last one's reply is complete
    qint64 sends = 0;     // 0: until stopped
    int waitMs = kDefaultWaitMs;
    QStringList patterns; // none, one every reply must match, or one for each command
    bool stopAtFirstFailure = false;

    // Every reply is gathered until the next send: with sends closer than the wait, that is as long
    // as a reply has.
    int replyWindowMs() const { return everyMs > 0 ? qMin(everyMs, waitMs) : waitMs; }
};
