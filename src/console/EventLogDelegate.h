#pragma once

#include <QFont>
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

    // The first characters of text that can fill width pixels when no character of the 8-bit
    // code page that is drawn at all is narrower than narrowest pixels. Others may be drawn as
    // nothing, so they do not count.
    static qsizetype VisibleLength(const QString& text, int width, int narrowest);

private:
    int narrowestAdvance(const QFontMetrics& metrics, const QFont& font) const;

    mutable QFont m_measuredFont;
    mutable int m_narrowest = 0; // in m_measuredFont, 0 until measured
};
