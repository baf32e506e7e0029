#include "find/LogSearch.h"

#include "console/EventLogModel.h"

#include <algorithm>

namespace
{

// How long a slice looks at lines before the window's other events have their turn.
constexpr qint64 kSliceMs = 5;

// Whether a slice has had its time: the clock is read every 64 lines, and after any long line.
bool SliceOver(qint64 looked, const LogLine& line, const QElapsedTimer& clock)
{
    return (looked % 64 == 63 || line.text().size() > 4096) && clock.elapsed() >= kSliceMs;
}

} // namespace

LogSearch::LogSearch(const EventLogModel& log, QObject* parent) : QObject(parent), m_log(log)
{
    m_slices.setSingleShot(true);
    m_slices.setInterval(0);
    connect(&m_slices, &QTimer::timeout, this, &LogSearch::work);
    // New lines are looked at as they are shown, so that what follows the search shows them with
    // the log's own batch.
    connect(&log, &QAbstractItemModel::rowsInserted, this, &LogSearch::work);
    connect(&log, &QAbstractItemModel::rowsRemoved, this, &LogSearch::prune);
    connect(&log, &QAbstractItemModel::modelReset, this,
            [this] { start(std::move(m_matcher), m_log.firstNumber()); });
}

void LogSearch::start(std::optional<LineMatcher> matcher, qint64 anchor)
{
    m_slices.stop();
    m_matcher = std::move(matcher);
    m_found.clear();
    m_knownFirst = m_log.firstNumber();
    m_anchor = qBound(m_knownFirst, anchor, endNumber());
    m_from = m_to = m_anchor;
    m_current = -1;
    m_seeking = true;
    m_pending = 0;
    m_gaveUp = 0;
    emit restarted();
    work();
}

qsizetype LogSearch::indexOf(qint64 number) const
{
    return qsizetype(number - m_log.firstNumber()) + m_log.noticeRows();
}

qint64 LogSearch::numberOf(qsizetype index) const
{
    return index < m_log.noticeRows() ? -1 : m_log.firstNumber() + index - m_log.noticeRows();
}

qint64 LogSearch::endNumber() const
{
    return m_log.firstNumber() + m_log.rowCount() - m_log.noticeRows();
}

bool LogSearch::complete() const
{
    return !searching() || (m_from <= m_log.firstNumber() && m_to >= endNumber());
}

bool LogSearch::isFound(qint64 number) const
{
    return std::binary_search(m_found.begin(), m_found.end(), number);
}

qsizetype LogSearch::ordinal() const
{
    if (m_current < 0)
        return 0;
    return std::lower_bound(m_found.begin(), m_found.end(), m_current) - m_found.begin() + 1;
}

bool LogSearch::test(const LogLine& line)
{
    bool gaveUp = false;
    const bool match = m_matcher->matches(line, &gaveUp);
    m_gaveUp += gaveUp;
    return match;
}

void LogSearch::work()
{
    if (clampToHeld())
        emit lost();
    if (!searching())
        return;
    QElapsedTimer clock;
    clock.start();
    const bool done = scanAfter(endNumber(), clock) && scanBefore(clock);
    settle();
    if (!done)
        m_slices.start();
    emit progressed();
}

bool LogSearch::scanAfter(qint64 end, const QElapsedTimer& clock)
{
    if (m_to >= end)
        return true;
    const qint64 from = m_to;
    auto line = m_log.lines().cbegin() + indexOf(m_to);
    for (qint64 looked = 0; m_to < end; ++line, ++looked) {
        if (test(*line))
            m_found.push_back(m_to);
        ++m_to;
        if (SliceOver(looked, *line, clock))
            break;
    }
    emit scanned(from, m_to, true);
    return m_to == end;
}

bool LogSearch::scanBefore(const QElapsedTimer& clock)
{
    const qint64 first = m_log.firstNumber();
    if (m_from <= first)
        return true;
    const qint64 to = m_from;
    auto line = m_log.lines().cbegin() + indexOf(m_from);
    for (qint64 looked = 0; m_from > first; ++looked) {
        --line;
        --m_from;
        if (test(*line))
            m_found.push_front(m_from);
        if (SliceOver(looked, *line, clock))
            break;
    }
    emit scanned(m_from, to, false);
    return m_from == first;
}

void LogSearch::settle()
{
    if (m_seeking) {
        // The first match from the anchor on; when there is none, the nearest before it; when
        // there is none yet, the first to come.
        const auto after = std::lower_bound(m_found.begin(), m_found.end(), m_anchor);
        if (after != m_found.end() || (m_to >= endNumber() && after != m_found.begin())) {
            m_seeking = false;
            m_current = after != m_found.end() ? *after : *(after - 1);
            emit currentChanged(m_current, false);
        }
    }
    if (m_pending != 0 && tryStep(m_pending))
        m_pending = 0;
}

void LogSearch::step(bool forward)
{
    if (!searching())
        return;
    m_seeking = false;
    const int direction = forward ? 1 : -1;
    m_pending = tryStep(direction) ? 0 : direction;
}

bool LogSearch::tryStep(int direction)
{
    // Every line between the current match and the one found next to it has been looked at:
    // those looked at are one run.
    if (direction > 0) {
        const qint64 from = m_current >= 0 ? m_current : m_anchor - 1;
        const auto next = std::upper_bound(m_found.begin(), m_found.end(), from);
        if (next != m_found.end()) {
            m_current = *next;
            emit currentChanged(m_current, false);
            return true;
        }
    } else {
        const qint64 from = m_current >= 0 ? m_current : m_anchor;
        const auto next = std::lower_bound(m_found.begin(), m_found.end(), from);
        if (next != m_found.begin()) {
            m_current = *(next - 1);
            emit currentChanged(m_current, false);
            return true;
        }
    }
    // Past the end, to the other: once every line has been looked at.
    if (!complete())
        return false;
    if (!m_found.empty()) {
        m_current = direction > 0 ? m_found.front() : m_found.back();
        emit currentChanged(m_current, true);
    }
    return true;
}

bool LogSearch::clampToHeld()
{
    const qint64 first = m_log.firstNumber();
    if (first == m_knownFirst)
        return false;
    m_knownFirst = first;
    m_from = qMax(m_from, first);
    m_to = qMax(m_to, first);
    m_anchor = qMax(m_anchor, first);
    while (!m_found.empty() && m_found.front() < first)
        m_found.pop_front();
    // The current line left: the next match becomes current.
    if (m_current >= 0 && m_current < first)
        m_current = m_found.empty() ? -1 : m_found.front();
    return true;
}

void LogSearch::prune()
{
    if (!clampToHeld())
        return;
    emit lost();
    emit progressed();
}
