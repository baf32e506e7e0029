#include "find/TimeOfDay.h"

#include "console/EventLogModel.h"

#include <QDateTime>

#include <algorithm>

std::optional<QTime> TimeOfDay(const QString& text)
{
    for (const QString& format : {QStringLiteral("h:mm"), QStringLiteral("h:mm:ss"),
                                  QStringLiteral("h:mm:ss.z"), QStringLiteral("h:mm:ss.zzz")}) {
        const QTime time = QTime::fromString(text.trimmed(), format);
        if (time.isValid())
            return time;
    }
    return std::nullopt;
}

qsizetype FirstLineAt(const EventLogModel& log, QTime time)
{
    // The notice of lines that left is newer than the lines after it: it is not looked at.
    const auto begin = log.lines().cbegin() + log.noticeRows();
    const auto end = log.lines().cbegin() + log.rowCount();
    if (begin >= end)
        return -1;
    // On the first line's day, or the next when that is nearer the lines (past midnight).
    const qint64 first = begin->timeMs();
    const qint64 last = (end - 1)->timeMs();
    qint64 ms = QDateTime(QDateTime::fromMSecsSinceEpoch(first).date(), time).toMSecsSinceEpoch();
    const qint64 next = QDateTime::fromMSecsSinceEpoch(ms).addDays(1).toMSecsSinceEpoch();
    if (ms < first && next - last < first - ms)
        ms = next;
    const auto line =
        std::partition_point(begin, end, [ms](const LogLine& line) { return line.timeMs() < ms; });
    return line == end ? -1 : line - log.lines().cbegin();
}
