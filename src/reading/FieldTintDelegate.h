#pragma once

#include <QStyledItemDelegate>

class FrameFields;

// Paints a hex dump's rows (ByteDumpModel's) with each byte's hex pair and character tinted by
// the field that holds it, and the bytes selected in the highlight colour instead of whole rows.
class FieldTintDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    FieldTintDelegate(const FrameFields& fields, QObject* parent);

    void setSelectedBytes(qsizetype first, qsizetype count);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The byte under point in the row drawn in rowRect, or -1; and where a byte's hex pair is.
    static qsizetype ByteAt(const QRect& rowRect, int row, const QFont& font, QPoint point);
    static QRectF HexRect(const QRect& rowRect, int i, const QFont& font);

private:
    bool selected(qsizetype offset) const;

    const FrameFields& m_fields;
    qsizetype m_first = 0, m_count = 0;
};
