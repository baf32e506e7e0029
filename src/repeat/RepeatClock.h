#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

#include <optional>

// The clocks a repeat reads: a monotonic one that its schedule and times are kept on, and the
// wall clock, to tell when time jumped under it (a laptop suspended, the time set) so that the
// verdict can say so. Virtual, so that tests can move either.
class RepeatClock
{
public:
    // A jump smaller than this is the two clocks' ordinary drift and the time taken to read them.
    static constexpr qint64 kJumpMs = 2000;

    RepeatClock();
    virtual ~RepeatClock() = default;

    virtual qint64 MonotonicMs() const;
    virtual qint64 WallMs() const;
    // How far the wall clock moved beyond the monotonic one since the last call, when that is
    // kJumpMs or more either way; 0 otherwise, and on the first call.
    qint64 TakeJump();

private:
    QElapsedTimer m_monotonic;
    std::optional<qint64> m_apart; // wall less monotonic when last looked at
};
