#include "repeat/RepeatClock.h"

#include <QDateTime>

RepeatClock::RepeatClock()
{
    m_monotonic.start();
}

qint64 RepeatClock::MonotonicMs() const
{
    // To the nearest millisecond: a timer set from it then wakes within half a millisecond of
    // the time it aims at, not up to a whole one after.
    return (m_monotonic.nsecsElapsed() + 500'000) / 1'000'000;
}

qint64 RepeatClock::WallMs() const
{
    return QDateTime::currentMSecsSinceEpoch();
}

qint64 RepeatClock::TakeJump()
{
    const qint64 apart = WallMs() - MonotonicMs();
    const qint64 jump = apart - m_apart.value_or(apart);
    if (qAbs(jump) < kJumpMs && m_apart)
        return 0;
    m_apart = apart;
    return jump;
}
