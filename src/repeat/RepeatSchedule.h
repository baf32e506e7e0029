#pragma once

#include <QtGlobal>

// When the sends of a repeat go that sends every interval: slot n is due n intervals after the
// start, on a monotonic clock, so that lateness never adds up. A slot missed by an interval or
// more is skipped, never made up in a burst.
class RepeatSchedule
{
public:
    RepeatSchedule(qint64 intervalMs, qint64 startMs) : m_interval(intervalMs), m_start(startMs) {}

    struct Turn {
        qint64 slot = 0;    // the slot to send now
        qint64 skipped = 0; // the slots passed over before it
    };
    // The first slot not yet taken, or, when that one is late by an interval or more, the latest
    // one due (late by less than an interval).
    Turn Take(qint64 nowMs);
    qint64 NextDue() const { return Due(m_next); }
    qint64 Due(qint64 slot) const { return m_start + slot * m_interval; }

private:
    qint64 m_interval;
    qint64 m_start;
    qint64 m_next = 0;
};
