#include "find/MatchingLines.h"

#include "console/EventLogModel.h"
#include "find/LogSearch.h"

#include <algorithm>
#include <vector>

MatchingLines::MatchingLines(const EventLogModel& log, const LogSearch& search, QObject* parent)
    : ShownLines(parent), m_log(log), m_search(search)
{
    connect(&search, &LogSearch::restarted, this, &MatchingLines::rebuild);
    connect(&search, &LogSearch::lost, this, &MatchingLines::dropLeft);
    connect(&search, &LogSearch::scanned, this, [this](qint64 from, qint64 to, bool after) {
        if (after)
            addAfter(from, to);
        else
            addBefore(from, to);
    });
}

void MatchingLines::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    rebuild();
}

void MatchingLines::setContext(int lines)
{
    lines = qBound(0, lines, kMostContext);
    if (lines == m_context)
        return;
    m_context = lines;
    rebuild();
}

void MatchingLines::rebuild()
{
    beginResetModel();
    m_rows.clear();
    if (m_active) {
        const qint64 first = m_log.firstNumber();
        const qint64 end = m_search.endNumber();
        for (const qint64 match : m_search.found()) {
            const qint64 from = qMax(match - m_context, m_rows.empty() ? first : m_rows.back() + 1);
            for (qint64 n = from; n <= qMin(match + m_context, end - 1); ++n)
                m_rows.push_back(n);
        }
    }
    endResetModel();
}

void MatchingLines::addAfter(qint64 from, qint64 to)
{
    if (!m_active)
        return;
    // The matches whose lines or context reach the lines looked at: the context of a match
    // before them may go on into them.
    const auto& found = m_search.found();
    std::vector<qint64> added;
    qint64 next = m_rows.empty() ? m_log.firstNumber() : m_rows.back() + 1;
    const qint64 end = m_search.endNumber();
    for (auto match = std::lower_bound(found.begin(), found.end(), from - m_context);
         match != found.end() && *match < to; ++match) {
        for (qint64 n = qMax(*match - m_context, next); n <= qMin(*match + m_context, end - 1); ++n)
            added.push_back(n);
        next = added.empty() ? next : added.back() + 1;
    }
    if (added.empty())
        return;
    beginInsertRows(QModelIndex(), rowCount(), rowCount() + int(added.size()) - 1);
    m_rows.insert(m_rows.end(), added.begin(), added.end());
    endInsertRows();
}

void MatchingLines::addBefore(qint64 from, qint64 to)
{
    if (!m_active)
        return;
    // Newest first: the matches found, each with its context, below the rows there are.
    const auto& found = m_search.found();
    std::vector<qint64> added;
    qint64 below = m_rows.empty() ? m_search.endNumber() : m_rows.front();
    auto match = std::lower_bound(found.begin(), found.end(), to);
    while (match != found.begin() && *(match - 1) >= from) {
        --match;
        const qint64 low = qMax(*match - m_context, m_log.firstNumber());
        for (qint64 n = qMin(*match + m_context, below - 1); n >= low; --n)
            added.push_back(n);
        below = added.empty() ? below : added.back();
    }
    if (added.empty())
        return;
    beginInsertRows(QModelIndex(), 0, int(added.size()) - 1);
    m_rows.insert(m_rows.begin(), added.rbegin(), added.rend());
    endInsertRows();
}

void MatchingLines::dropLeft()
{
    const qint64 first = m_log.firstNumber();
    const auto gone = std::lower_bound(m_rows.begin(), m_rows.end(), first) - m_rows.begin();
    if (gone == 0)
        return;
    beginRemoveRows(QModelIndex(), 0, int(gone) - 1);
    m_rows.erase(m_rows.begin(), m_rows.begin() + gone);
    endRemoveRows();
}

int MatchingLines::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant MatchingLines::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const qsizetype line = lineOf(index.row());
    if (line < 0 || line >= m_log.rowCount())
        return {};
    return m_log.data(m_log.index(int(line)), role);
}

qsizetype MatchingLines::lineOf(int row) const
{
    return m_search.indexOf(m_rows[size_t(row)]);
}

int MatchingLines::rowAtOrAfter(qsizetype line) const
{
    const qint64 number = m_search.numberOf(line);
    return int(std::lower_bound(m_rows.begin(), m_rows.end(), number) - m_rows.begin());
}

int MatchingLines::rowOf(qsizetype line) const
{
    const int row = rowAtOrAfter(line);
    return row < rowCount() && m_rows[size_t(row)] == m_search.numberOf(line) ? row : -1;
}

bool MatchingLines::startsGroup(int row) const
{
    return row > 0 && row < rowCount() && m_rows[size_t(row)] != m_rows[size_t(row) - 1] + 1;
}

QString MatchingLines::description() const
{
    const LineMatcher* matcher = m_search.matcher();
    const QString what = matcher ? matcher->description() : QString();
    if (m_context == 0)
        return QStringLiteral("only the lines shown for %1").arg(what);
    return QStringLiteral("only the lines shown for %1, with %2 %3 of context")
        .arg(what, QString::number(m_context),
             m_context == 1 ? QStringLiteral("line") : QStringLiteral("lines"));
}
