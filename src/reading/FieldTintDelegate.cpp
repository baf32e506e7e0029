#include "reading/FieldTintDelegate.h"

#include "reading/ByteDumpWindow.h"
#include "reading/FrameFields.h"

#include <QPainter>
#include <QPainterPath>

namespace
{

constexpr int kMargin = 4;

// Light enough for the default palette's black text.
QColor TintColour(FrameFields::Tint tint)
{
    switch (tint) {
    case FrameFields::Tint::First:
        return QColor(0xFF, 0xEC, 0xB3);
    case FrameFields::Tint::Second:
        return QColor(0xC8, 0xE6, 0xFF);
    case FrameFields::Tint::Failed:
        return QColor(0xFF, 0x9E, 0x9E);
    case FrameFields::Tint::None:
        break;
    }
    return {};
}

qreal CharWidth(const QFont& font)
{
    // A fixed font's advance need not be whole pixels: measured over many characters.
    return QFontMetricsF(font).horizontalAdvance(QString(64, QLatin1Char('0'))) / 64;
}

QRectF Columns(const QRect& rowRect, int column, int count, qreal width)
{
    return QRectF(rowRect.left() + kMargin + column * width, rowRect.top(), count * width,
                  rowRect.height());
}

} // namespace

FieldTintDelegate::FieldTintDelegate(const FrameFields& fields, QObject* parent)
    : QStyledItemDelegate(parent), m_fields(fields)
{
}

void FieldTintDelegate::setSelectedBytes(qsizetype first, qsizetype count)
{
    m_first = first;
    m_count = count;
}

bool FieldTintDelegate::selected(qsizetype offset) const
{
    return offset >= m_first && offset < m_first + m_count;
}

void FieldTintDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    const QRect& rect = option.rect;
    const qreal width = CharWidth(option.font);
    const qsizetype rowStart = qsizetype(index.row()) * ByteDumpModel::kRowBytes;
    const int bytes = int(qMin<qsizetype>(ByteDumpModel::kRowBytes, m_fields.size() - rowStart));
    painter->save();
    painter->fillRect(rect, option.palette.base());
    QPainterPath chosen; // the selected bytes, drawn in the highlight's colours
    for (int i = 0; i < bytes; ++i) {
        const qsizetype offset = rowStart + i;
        const bool on = selected(offset);
        const QColor colour =
            on ? option.palette.highlight().color() : TintColour(m_fields.tintAt(offset));
        if (!colour.isValid())
            continue;
        // The blank between two pairs of one colour is that colour too.
        const bool joined = i + 1 < bytes && selected(offset + 1) == on &&
                            (on || m_fields.tintAt(offset + 1) == m_fields.tintAt(offset));
        const QRectF hex = Columns(rect, ByteDumpModel::HexColumn(i), joined ? 3 : 2, width);
        const QRectF character = Columns(rect, ByteDumpModel::CharColumn(i), 1, width);
        painter->fillRect(hex, colour);
        painter->fillRect(character, colour);
        if (on) {
            chosen.addRect(hex);
            chosen.addRect(character);
        }
    }
    const QString text = index.data().toString();
    const QRectF line = rect.adjusted(kMargin, 0, 0, 0);
    const auto draw = [&](const QColor& colour) {
        painter->setPen(colour);
        painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter, text);
    };
    painter->setFont(option.font);
    QPainterPath rest;
    rest.addRect(rect);
    painter->setClipPath(rest.subtracted(chosen));
    draw(option.palette.text().color());
    if (!chosen.isEmpty()) {
        painter->setClipPath(chosen);
        draw(option.palette.highlightedText().color());
    }
    painter->restore();
}

qsizetype FieldTintDelegate::ByteAt(const QRect& rowRect, int row, const QFont& font, QPoint point)
{
    const qreal column = (point.x() - rowRect.left() - kMargin) / CharWidth(font);
    const int i = column < 0 ? -1 : ByteDumpModel::ByteOfColumn(int(column));
    return i < 0 ? -1 : qsizetype(row) * ByteDumpModel::kRowBytes + i;
}

QRectF FieldTintDelegate::HexRect(const QRect& rowRect, int i, const QFont& font)
{
    return Columns(rowRect, ByteDumpModel::HexColumn(i), 2, CharWidth(font));
}
