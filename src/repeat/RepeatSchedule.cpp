#include "repeat/RepeatSchedule.h"

RepeatSchedule::Turn RepeatSchedule::Take(qint64 nowMs)
{
    Turn turn{m_next, 0};
    if (nowMs - Due(m_next) >= m_interval) {
        turn.slot = (nowMs - m_start) / m_interval;
        turn.skipped = turn.slot - m_next;
    }
    m_next = turn.slot + 1;
    return turn;
}
