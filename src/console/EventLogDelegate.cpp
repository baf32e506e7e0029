#include "console/EventLogDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QStyle>

namespace
{

// Characters of the 8-bit code page that are drawn as something: all but the controls and the
// soft hyphen.
bool DrawnInCodePage(char16_t c)
{
    return (c >= 0x20 && c < 0x7f) || (c >= 0xa0 && c <= 0xff && c != 0xad);
}

} // namespace

void EventLogDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget* widget = option.widget;
    // Only the part left of the view's right edge can be seen, scrolled or not; one character
    // more, so that a line cut at the row's end still gets its ellipsis.
    int seen = item.rect.width();
    if (const auto* view = qobject_cast<const QAbstractItemView*>(widget))
        seen = qMin(seen, view->viewport()->width() - item.rect.left());
    const int narrowest = narrowestAdvance(item.fontMetrics, item.font);
    item.text.truncate(VisibleLength(item.text, qMax(0, seen) + narrowest, narrowest));
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
}

qsizetype EventLogDelegate::VisibleLength(const QString& text, int width, int narrowest)
{
    const int step = qMax(1, narrowest);
    int filled = 0;
    qsizetype length = 0;
    for (; length < text.size() && filled < width; ++length) {
        if (DrawnInCodePage(text.at(length).unicode()))
            filled += step;
    }
    return length;
}

int EventLogDelegate::narrowestAdvance(const QFontMetrics& metrics, const QFont& font) const
{
    if (m_narrowest > 0 && font == m_measuredFont)
        return m_narrowest;
    int narrowest = INT_MAX;
    for (char16_t c = 0x20; c <= 0xff; ++c) {
        if (DrawnInCodePage(c))
            narrowest = qMin(narrowest, metrics.horizontalAdvance(QChar(c)));
    }
    m_measuredFont = font;
    m_narrowest = qMax(1, narrowest);
    return m_narrowest;
}
