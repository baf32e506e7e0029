#include "console/EventLogDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QStyle>

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
    item.text.truncate(VisibleLength(item.text, qMax(0, seen) + 1));
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
}

qsizetype EventLogDelegate::VisibleLength(const QString& text, int width)
{
    int counted = 0;
    qsizetype length = 0;
    for (; length < text.size() && counted < width; ++length) {
        const char16_t c = text.at(length).unicode();
        const bool drawnAsNothing = c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0xad;
        if (!drawnAsNothing)
            ++counted;
    }
    return length;
}
