#include "find/FindHighlight.h"

#include "console/EventLog.h"
#include "find/LogSearch.h"
#include "find/MatchingLines.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>

namespace
{

const QColor kMatch(255, 215, 0, 110);
const QColor kCurrent(255, 110, 0, 170);
const QColor kRule(160, 160, 160);

} // namespace

FindHighlight::FindHighlight(const EventLog& log, const LogSearch& search,
                             const MatchingLines& matching, QObject* parent)
    : EventLogDelegate(parent), m_log(log), m_search(search), m_matching(matching)
{
    m_advances.fill(-1);
}

void FindHighlight::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const
{
    EventLogDelegate::paint(painter, option, index);
    if (m_log.shownOnly() == &m_matching && m_matching.startsGroup(index.row())) {
        painter->save();
        painter->setPen(QPen(kRule, 1, Qt::DotLine));
        painter->drawLine(option.rect.topLeft(), option.rect.topRight());
        painter->restore();
    }
    if (m_marking && m_search.searching())
        markMatches(painter, option, index.row());
}

qreal FindHighlight::advance(const QFont& font, QChar c) const
{
    if (font != m_font) {
        m_font = font;
        m_advances.fill(-1);
    }
    if (c.unicode() >= m_advances.size())
        return QFontMetricsF(font).horizontalAdvance(c);
    qreal& known = m_advances[c.unicode()];
    if (known < 0)
        known = QFontMetricsF(font).horizontalAdvance(c);
    return known;
}

qreal FindHighlight::advanceTo(const QFont& font, const QString& text, qsizetype to) const
{
    qreal x = 0;
    for (qsizetype at = 0; at < qMin(to, text.size()); ++at)
        x += advance(font, text.at(at));
    return x;
}

void FindHighlight::markMatches(QPainter* painter, const QStyleOptionViewItem& option,
                                int row) const
{
    const qint64 number = m_search.numberOf(m_log.lineOfRow(row));
    if (number < 0 || !m_search.isFound(number))
        return;
    const LogLine& line = m_log.shownRecord(row);
    const QString& text = line.text();
    // The text begins where the style draws it; the view's right edge ends what can be seen.
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const qreal left =
        option.rect.left() + style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    qreal right = option.rect.right();
    if (const auto* view = qobject_cast<const QAbstractItemView*>(widget))
        right = qMin<qreal>(right, view->viewport()->width());
    qsizetype within = 0;
    for (qreal x = left; within < text.size() && x <= right; ++within)
        x += advance(option.font, text.at(within));
    const QList<LineMatcher::Span> spans = m_search.matcher()->spans(line, within);
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(number == m_search.current() ? kCurrent : kMatch);
    // One walk along the text for every span's ends.
    qsizetype at = 0;
    qreal x = left;
    const auto walkTo = [&](qsizetype to) {
        for (; at < qMin(to, text.size()); ++at)
            x += advance(option.font, text.at(at));
        return x;
    };
    for (const LineMatcher::Span& span : spans) {
        const qreal from = walkTo(span.from);
        const qreal to = walkTo(span.from + span.length);
        if (from > right)
            break;
        painter->drawRect(
            QRectF(from, option.rect.top(), qMax<qreal>(2, to - from), option.rect.height()));
    }
    painter->restore();
}
