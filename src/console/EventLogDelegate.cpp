#include "console/EventLogDelegate.h"

#include "console/LogLine.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>

#include <climits>
#include <cmath>

namespace
{

constexpr char16_t kFirstPrintable = 0x20;

// Characters of the 8-bit code page that are drawn as something: all but the controls and the
// soft hyphen.
bool DrawnInCodePage(char16_t c)
{
    return (c >= 0x20 && c < 0x7f) || (c >= 0xa0 && c <= 0xff && c != 0xad);
}

// Whether every character is one of the code page's printable ones: the log's lines know it,
// those of another model are looked at.
bool AllPrintable(const QStyleOptionViewItem& item)
{
    const QVariant known = item.index.data(EventLogDelegate::InCodePageRole);
    return known.isValid() ? known.toBool() : LogLine::AllInCodePage(item.text);
}

// The one line the style lays text out on when it sizes an item, in the same font.
QSizeF LaidOut(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(INT_MAX / 256);
    layout.endLayout();
    return {line.naturalTextWidth(), line.height()};
}

// Every ordered pair of the printable characters once (a de Bruijn sequence of order 2): the
// Lyndon words of length one and two in order, then the first character again.
QString EveryPair()
{
    QString text;
    for (char16_t a = kFirstPrintable; a <= 0xff; ++a) {
        text += QChar(a);
        for (char16_t b = a + 1; b <= 0xff; ++b) {
            text += QChar(a);
            text += QChar(b);
        }
    }
    return text + QChar(kFirstPrintable);
}

} // namespace

void EventLogDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const Advances& advances = advancesFor(item.font);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QVariant aside = index.data(AsideRole);
    // Where the aside goes: measured by the advances, as the whole line before it is cut.
    qint64 textWidth = -1;
    const bool byAdvances = SizedByAdvances(item, advances);
    if (byAdvances) {
        if (aside.isValid())
            textWidth = Width(item.text, advances);
        CutToView(item, advances, margin);
    } else {
        // Only the part left of the view's right edge can be seen, scrolled or not; one
        // character more, so that a line cut at the row's end still gets its ellipsis.
        int seen = item.rect.width();
        if (const auto* view = qobject_cast<const QAbstractItemView*>(widget))
            seen = qMin(seen, view->viewport()->width() - item.rect.left());
        item.text.truncate(
            VisibleLength(item.text, qMax(0, seen) + advances.narrowest, advances.narrowest));
    }
    // A line that fits its row whole is drawn here, laid out once; the style lays the text out
    // three times (to place it, to see whether to elide it, to draw it), every row at every
    // paint, and a busy line repaints the log several times a second.
    const bool plain =
        byAdvances && !(item.state & QStyle::State_HasFocus) &&
        Width(item.text, advances) + advances.widest <= qint64(item.rect.width()) - 2 * margin;
    if (plain)
        paintPlain(painter, item, style, margin);
    else
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
    if (aside.isValid())
        paintAside(painter, option, index, aside.toString(), textWidth, margin);
}

void EventLogDelegate::paintPlain(QPainter* painter, const QStyleOptionViewItem& item,
                                  const QStyle* style, int margin)
{
    // As the style draws an item with text alone: its panel, then the text in the colour of its
    // state, within the same margins.
    painter->save();
    painter->setClipRect(item.rect);
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &item, painter, item.widget);
    QPalette::ColorGroup group =
        item.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(item.state & QStyle::State_Active))
        group = QPalette::Inactive;
    painter->setPen(item.palette.color(
        group, item.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(item.font);
    painter->drawText(item.rect.adjusted(margin, 0, -margin, 0),
                      int(item.displayAlignment) | Qt::TextSingleLine, item.text);
    painter->restore();
}

void EventLogDelegate::paintAside(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index, const QString& aside, qint64 textWidth,
                                  int margin) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QFontMetrics metrics(item.font);
    if (textWidth < 0) {
        // Lines with an aside are short (a frame, a datagram): a long one shows none rather
        // than be measured whole at every paint.
        constexpr qsizetype kLongest = 1 << 16;
        if (item.text.size() > kLongest)
            return;
        textWidth = metrics.horizontalAdvance(item.text);
    }
    const Advances& advances = advancesFor(item.font);
    const int x = int(qMin<qint64>(option.rect.right(), option.rect.left() + margin + textWidth +
                                                            metrics.horizontalAdvance(u' ') * 2));
    const QRect room(x, option.rect.top(), option.rect.right() - margin - x, option.rect.height());
    if (room.width() <= 0)
        return;
    painter->save();
    painter->setFont(item.font);
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(selected ? option.palette.color(QPalette::HighlightedText)
                             : QColor(Qt::darkBlue));
    // Measured by the advances where they add up: laid out only when it must be cut.
    const bool fits = advances.additive && LogLine::AllInCodePage(aside) &&
                      Width(aside, advances) <= room.width();
    painter->drawText(room, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      fits ? aside : metrics.elidedText(aside, Qt::ElideRight, room.width()));
    painter->restore();
}

qint64 EventLogDelegate::Width(const QString& text, const Advances& advances)
{
    qint64 width = 0;
    for (const QChar c : text)
        width += advances.inside[c.unicode()];
    return width;
}

QSize EventLogDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const Advances& advances = advancesFor(item.font);
    if (item.text.size() < 2 || !SizedByAdvances(item, advances))
        return QStyledItemDelegate::sizeHint(option, index);
    // The style sizes the line's last character, as it ends the line; the others add their
    // advances inside a line.
    qint64 rest = 0;
    const QChar* text = item.text.constData();
    for (qsizetype i = 0; i + 1 < item.text.size(); ++i)
        rest += advances.inside[text[i].unicode()];
    item.text = item.text.right(1);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    QSize size = style->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), widget);
    size.setWidth(int(qMin<qint64>(INT_MAX, size.width() + rest)));
    return size;
}

void EventLogDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    m_textAsIs = index.data(InCodePageRole).toBool();
    QStyledItemDelegate::initStyleOption(option, index);
    m_textAsIs = false;
}

QString EventLogDelegate::displayText(const QVariant& value, const QLocale& locale) const
{
    // Otherwise every paint of a row looks through the whole line for line breaks.
    return m_textAsIs ? value.toString() : QStyledItemDelegate::displayText(value, locale);
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

bool EventLogDelegate::SizedByAdvances(const QStyleOptionViewItem& item, const Advances& advances)
{
    // Plain left-aligned, unwrapped, right-elided text alone in its row, as in the log.
    const auto others = QStyleOptionViewItem::WrapText | QStyleOptionViewItem::HasDecoration |
                        QStyleOptionViewItem::HasCheckIndicator;
    if (!advances.additive || (item.features & others) || item.direction != Qt::LeftToRight ||
        !(item.displayAlignment & Qt::AlignLeft) || item.textElideMode != Qt::ElideRight)
        return false;
    return AllPrintable(item);
}

void EventLogDelegate::CutToView(QStyleOptionViewItem& item, const Advances& advances, int margin)
{
    // The part of the row in view, in pixels from the line's first character, with two of the
    // widest characters on each side for glyphs that reach beyond their advance.
    const int textLeft = item.rect.left() + margin;
    int seenLeft = item.rect.left();
    int seenRight = item.rect.right() + 1;
    if (const auto* view = qobject_cast<const QAbstractItemView*>(item.widget)) {
        seenLeft = qMax(seenLeft, 0);
        seenRight = qMin(seenRight, view->viewport()->width());
    }
    const qint64 slack = 2 * advances.widest;
    const qint64 from = qint64(seenLeft) - textLeft - slack;
    qint64 to = qint64(seenRight) - textLeft + slack;
    // Near the row's end, keep the line going past it, so that the style cuts it and places
    // the ellipsis where it would for the whole line.
    const qint64 room = item.rect.width() - 2 * margin;
    if (to + advances.ellipsis + slack >= room)
        to = room + slack;
    const QChar* text = item.text.constData();
    const qsizetype size = item.text.size();
    qsizetype i = 0;
    qint64 x = 0;
    for (; i < size && x + advances.inside[text[i].unicode()] <= from; ++i)
        x += advances.inside[text[i].unicode()];
    const qsizetype first = i;
    const qint64 firstX = x;
    for (; i < size && x <= to; ++i)
        x += advances.inside[text[i].unicode()];
    item.text = item.text.mid(first, i - first);
    // The cut-off characters lie left of the view, and so does the row's new left edge.
    item.rect.setLeft(int(item.rect.left() + firstX));
}

const EventLogDelegate::Advances& EventLogDelegate::advancesFor(const QFont& font) const
{
    if (m_advances.measured && m_advances.font == font)
        return m_advances;
    Advances a;
    a.font = font;
    a.measured = true;
    a.additive = true;
    int narrowest = INT_MAX;
    const QFontMetrics metrics(font);
    const QSizeF anchor = LaidOut(QStringLiteral("A"), font);
    const qreal pair = LaidOut(QStringLiteral("AA"), font).width();
    for (char16_t c = kFirstPrintable; c <= 0xff; ++c) {
        const qreal inside = LaidOut(QStringLiteral("A%1A").arg(QChar(c)), font).width() - pair;
        const qreal atEnd =
            LaidOut(QStringLiteral("A%1").arg(QChar(c)), font).width() - anchor.width();
        a.inside[c] = qRound(inside);
        a.atEnd[c] = qRound(atEnd);
        a.additive = a.additive && a.inside[c] == inside && a.atEnd[c] == atEnd;
        a.widest = qMax(a.widest, qMax(a.inside[c], a.atEnd[c]));
        if (DrawnInCodePage(c))
            narrowest = qMin(narrowest, metrics.horizontalAdvance(QChar(c)));
    }
    a.narrowest = qMax(1, narrowest);
    a.ellipsis = qCeil(qMax(LaidOut(QString(QChar(0x2026)), font).width(),
                            LaidOut(QStringLiteral("..."), font).width()));
    // Whether neighbours change an advance (kerning, ligatures) or some character takes a line
    // higher (another font standing in): one line holding every pair tells.
    if (a.additive) {
        const QString pairs = EveryPair();
        qint64 sum = a.atEnd[pairs.back().unicode()];
        for (qsizetype i = 0; i + 1 < pairs.size(); ++i)
            sum += a.inside[pairs.at(i).unicode()];
        const QSizeF all = LaidOut(pairs, font);
        a.additive = all.width() == qreal(sum) && all.height() == anchor.height();
    }
    m_advances = a;
    return m_advances;
}
