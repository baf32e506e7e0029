#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

// Takes over every way text is pasted into a line edit (the paste keys, the context menu's
// Paste, a middle click, a drop), so that what goes in is what will be sent: control characters
// become their tokens (PastedCommandText), and a paste longer than the room the line has left
// is cut on a token's boundary, with a word on how much of it was kept.
class PasteWatch : public QObject
{
    Q_OBJECT
public:
    explicit PasteWatch(QLineEdit& line);

    // Inserts text at the cursor, over the selection, as a paste.
    void paste(const QString& text);

signals:
    // kept of the offered characters (counted as tokens) went into the line; the rest was left
    // out.
    void PasteCut(qsizetype kept, qsizetype offered);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit& m_line;
};

// Pasted text as command text: each character 0-31, 127 and 128-159 becomes its "<hh>" token (a
// line break "<0A>", a tab "<09>"), after one line break at the end, as a copied line carries,
// is dropped.
QString PastedCommandText(QStringView text);
