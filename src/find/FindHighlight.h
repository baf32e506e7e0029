#pragma once

#include "console/EventLogDelegate.h"

#include <array>

class EventLog;
class LogSearch;
class MatchingLines;

// Paints the log's lines as the log does, then marks where the search matches in the rows in
// view, the current match apart, and, while only matching lines are shown, a rule where lines
// are left out between two rows.
class FindHighlight : public EventLogDelegate
{
public:
    FindHighlight(const EventLog& log, const LogSearch& search, const MatchingLines& matching,
                  QObject* parent = nullptr);

    // Whether matches are marked: while the find bar is open.
    void setMarking(bool marking) { m_marking = marking; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // How far from the start of a line's text, in pixels, its character at `to` is drawn.
    qreal advanceTo(const QFont& font, const QString& text, qsizetype to) const;

private:
    void markMatches(QPainter* painter, const QStyleOptionViewItem& option, int row) const;
    qreal advance(const QFont& font, QChar c) const;

    const EventLog& m_log;
    const LogSearch& m_search;
    const MatchingLines& m_matching;
    bool m_marking = false;
    mutable QFont m_font;                        // the font the advances are for
    mutable std::array<qreal, 256> m_advances{}; // its characters' advances, -1 unknown
};
