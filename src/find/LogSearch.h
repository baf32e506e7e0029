#pragma once

#include "find/LineMatcher.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <optional>

class EventLogModel;
class LogLine;

// A search through the event log's lines, kept up as lines come and leave. It looks at the lines
// a slice of a few milliseconds at a time between the window's other events, outward from where
// the operator stands: first the lines from there on, so that the match nearest after comes
// first, then back towards the oldest. Lines go by their numbers (EventLogModel::firstNumber), so
// a line that leaves the log costs nothing beyond dropping its number if it matched.
class LogSearch : public QObject
{
    Q_OBJECT
public:
    explicit LogSearch(const EventLogModel& log, QObject* parent = nullptr);

    // Searches anew for what matcher matches, from the line numbered anchor; none: stops.
    void start(std::optional<LineMatcher> matcher, qint64 anchor);
    const LineMatcher* matcher() const { return m_matcher ? &*m_matcher : nullptr; }
    bool searching() const { return m_matcher && m_matcher->searches(); }
    // Whether every line shown has been looked at.
    bool complete() const;

    // The numbers of the matching lines looked at so far, in order.
    const std::deque<qint64>& found() const { return m_found; }
    bool isFound(qint64 number) const;
    // The current match's number (-1: none), and its place among those found, from 1.
    qint64 current() const { return m_current; }
    qsizetype ordinal() const;
    // The lines a pattern gave up on, counted as no match.
    qint64 gaveUp() const { return m_gaveUp; }
    // Makes the next or previous match current, past an end to the other; waits for the lines
    // between to be looked at when they have not been yet.
    void step(bool forward);
    bool stepPending() const { return m_pending != 0; }

    // Between numbers and the log's indices: the notice of lines that left has no number (-1).
    qsizetype indexOf(qint64 number) const;
    qint64 numberOf(qsizetype index) const;
    qint64 endNumber() const; // one past the newest line shown

signals:
    // A match became current by a step or as the first found: the view goes there.
    void currentChanged(qint64 number, bool wrapped);
    // More was looked at or found, or found lines left: counts and marks are to be shown anew.
    void progressed();
    // The lines [from, to) were looked at: after those before (after) or before them.
    void scanned(qint64 from, qint64 to, bool after);
    // Lines left the log: nothing found holds a number below the first.
    void lost();
    // A new search began, or the log was cleared.
    void restarted();

private:
    void work();
    bool scanAfter(qint64 end, const QElapsedTimer& clock);
    bool scanBefore(const QElapsedTimer& clock);
    bool test(const LogLine& line);
    void settle();
    bool tryStep(int direction);
    void prune();
    bool clampToHeld();

    const EventLogModel& m_log;
    std::optional<LineMatcher> m_matcher;
    std::deque<qint64> m_found;
    qint64 m_from = 0; // the lines looked at are [m_from, m_to)
    qint64 m_to = 0;
    qint64 m_anchor = 0;
    qint64 m_current = -1;
    bool m_seeking = false; // whether the first match to show is still to be chosen
    int m_pending = 0;      // a step asked before the lines it needs were looked at
    qint64 m_gaveUp = 0;
    qint64 m_knownFirst = 0; // the log's first number when last looked
    QTimer m_slices;
};
