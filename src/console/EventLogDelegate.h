#pragma once

#include <QStyledItemDelegate>

// Paints an event log line with only as much of its text as the row can show. A reply line can
// hold many thousands of characters, and laying out all of them for every repaint cost more than
// everything else the terminal does while a stream comes in; what is painted is unchanged.
class EventLogDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The first characters of text that can fill width pixels: every character takes at least
    // one pixel, but for those that are drawn as nothing.
    static qsizetype VisibleLength(const QString& text, int width);
};
