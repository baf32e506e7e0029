#pragma once

#include <QFont>
#include <QStyledItemDelegate>

#include <array>

// Sizes and paints an event log line without laying out more of it than the view can show. A
// reply line can hold more than a million characters; the text engine took most of a second
// to lay one out whole just to learn its width, and as long again to paint it scrolled to its
// end. In a font whose 8-bit code page characters each keep one whole-pixel advance whatever
// stands beside them (the log's own font does), a line's width is the sum of those advances,
// and a line drawn from any of its characters on puts every glyph where the whole line would.
// In any other font, or for a line with characters outside the code page, the line is sized
// by the text engine and painted from its first character to the view's right edge.
class EventLogDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The role under which a model may tell whether a row's text is all printable characters
    // of the 8-bit code page, so that painting need not look at all of it.
    static constexpr int InCodePageRole = Qt::UserRole + 1;
    // The role under which a model gives a text to show after a row's own, in a second colour.
    static constexpr int AsideRole = Qt::UserRole + 2;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QString displayText(const QVariant& value, const QLocale& locale) const override;

    // The first characters of text that can fill width pixels when no character of the 8-bit
    // code page that is drawn at all is narrower than narrowest pixels. Others may be drawn as
    // nothing, so they do not count.
    static qsizetype VisibleLength(const QString& text, int width, int narrowest);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    // The advances of the code page's printable characters (from the blank up) in one font,
    // as the text engine lays them out: inside a line, and as a line's last character.
    struct Advances {
        QFont font;
        bool measured = false;
        bool additive = false; // whether a line's width is the sum of its advances
        std::array<int, 256> inside{};
        std::array<int, 256> atEnd{};
        int widest = 0;
        int ellipsis = 0;
        int narrowest = 1;
    };

    const Advances& advancesFor(const QFont& font) const;
    static bool SizedByAdvances(const QStyleOptionViewItem& item, const Advances& advances);
    static void CutToView(QStyleOptionViewItem& item, const Advances& advances, int margin);
    // A row whose text fits it whole, as the style would paint it.
    static void paintPlain(QPainter* painter, const QStyleOptionViewItem& item, const QStyle* style,
                           int margin);
    // The row's aside, after its text when the text ends within the row.
    // textWidth: the whole text's, -1 when not measured yet.
    void paintAside(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index,
                    const QString& aside, qint64 textWidth, int margin) const;
    // The width of text all of whose characters are the code page's printable ones.
    static qint64 Width(const QString& text, const Advances& advances);

    mutable Advances m_advances;
    // While a row known to be all in the code page is looked at: its text holds no line break
    // for displayText to stand a line separator in for, so it is taken as it is.
    mutable bool m_textAsIs = false;
};
