#pragma once

#include "console/ShownLines.h"

#include <deque>

class EventLogModel;
class LogSearch;

// Only the lines a search matches, with the lines around each (context), as rows for the log's
// view. Rows go by line numbers and grow at either end as the search looks further and lines
// come; lines that leave the log take only their own rows with them.
class MatchingLines : public ShownLines
{
    Q_OBJECT
public:
    MatchingLines(const EventLogModel& log, const LogSearch& search, QObject* parent = nullptr);

    // Whether rows are kept: only while shown.
    void setActive(bool active);
    bool isActive() const { return m_active; }
    // The lines shown before and after each match, 0 to kMostContext.
    void setContext(int lines);
    int context() const { return m_context; }
    static constexpr int kMostContext = 20;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    qsizetype lineOf(int row) const override;
    int rowOf(qsizetype line) const override;
    // The first row at or after the line at that index (rowCount() when none).
    int rowAtOrAfter(qsizetype line) const;
    QString description() const override;
    // Whether lines are left out between a row's line and the line of the row before it.
    bool startsGroup(int row) const;

private:
    void rebuild();
    void addAfter(qint64 from, qint64 to);
    void addBefore(qint64 from, qint64 to);
    void dropLeft();

    const EventLogModel& m_log;
    const LogSearch& m_search;
    std::deque<qint64> m_rows; // the numbers of the lines shown, in order
    int m_context = 0;
    bool m_active = false;
};
