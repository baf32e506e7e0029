#pragma once

#include <QString>
#include <QTime>

#include <optional>

class EventLogModel;

// A time of day as typed: "14:03", "14:03:07" or "14:03:07.412"; none when it is no time.
std::optional<QTime> TimeOfDay(const QString& text);

// The index of the first line shown at or after that time of day, or -1 when none is. The time is
// taken on the first line's day, or on the next when it comes nearer the lines there: a session
// from 22:00 to 02:00 finds 01:30 after midnight and 21:00 at its start.
qsizetype FirstLineAt(const EventLogModel& log, QTime time);
