#pragma once

#include <QBitArray>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "console/LineMarks.h"
#include "terminal/ReplyCheck.h"

#include <memory>

// One line of the event log: its text as shown, the wall-clock time it was added and, for a
// command sent or a reply received, what the line stands for: the bytes, and for a reply how
// long the controller took to answer. A status line carries nothing beyond its text and time,
// so a log of a million lines costs little more than their text.
//
// A reply's bytes are not held twice: its line keeps the rendered text, which spells every byte
// but one kind, the "<" of the reply itself, that reads like the start of a token. A bit for
// each such byte, only when the reply has any, makes the text say exactly which bytes came.
class LogLine
{
public:
    enum class Kind : quint8 { Status, Output, Input };

    static LogLine Status(const QString& text, qint64 timeMs, const LineMarks& marks = {});
    // bytes: what the command encodes to; none when it could not be encoded. typed: the line as
    // the operator typed it, when the text shown holds more (a check value); empty otherwise.
    // note: what sent it, when the operator did not, for the summary.
    static LogLine Output(const QString& text, const QByteArray& bytes, qint64 timeMs,
                          const QString& typed = {}, const QString& note = {},
                          const LineMarks& marks = {});
    // text: a marker of markerLength characters followed by the reply as rendered; answerMs: from
    // the link's last write to the reply's first byte, or -1 when nothing was written on that link
    // since it opened.
    static LogLine Input(const QString& text, qsizetype markerLength, QByteArrayView reply,
                         qint64 answerMs, qint64 timeMs, const ReplyCheck& check = {},
                         const LineMarks& marks = {});

    const QString& text() const { return m_text; }
    qint64 timeMs() const { return m_timeMs; } // milliseconds since the epoch, UTC
    Kind kind() const { return m_traffic ? m_traffic->kind : Kind::Status; }
    // Whether the line stands for at least one byte.
    bool hasBytes() const { return byteCount() > 0; }
    qsizetype byteCount() const { return m_traffic ? m_traffic->byteCount : 0; }
    QByteArray bytes() const { return firstBytes(byteCount()); }
    // The first count bytes at most, without reading back the rest of a long reply.
    QByteArray firstBytes(qsizetype count) const;
    // The memory the line holds: its text, its bytes and bits, and what holds them.
    qsizetype footprint() const;
    qint64 answerMs() const { return m_traffic ? m_traffic->answerMs : -1; }
    // The text as typed: a command sent with a check value without the value, else the text.
    const QString& asTyped() const
    {
        return extras() && !extras()->typed.isEmpty() ? extras()->typed : m_text;
    }
    // Whether the reply's check value was checked and found wrong.
    bool checkFailed() const { return m_traffic && m_traffic->checkFailed; }
    // What an addition marked the line with: the text shown after it, the tooltip's further
    // lines, and whether it is drawn red; empty, empty and false for most lines.
    QString aside() const { return extras() ? extras()->marks.aside : QString(); }
    QString details() const;
    bool flagged() const { return extras() && extras()->marks.flagged; }
    // The tooltip: the summary, then the details.
    QString tooltip() const;

    // What the line is and when it came: "Reply, 13 bytes, 14:03:07.412, 42 ms after the
    // command", "Command, 5 bytes, 14:03:07.370", or only the time for a status line; a reply
    // whose check value was checked adds the verdict (", bcc ok").
    QString summary() const;

    // Whether every character is a printable one of the 8-bit code page (from the blank up),
    // as a reply's rendering always is: such a line is painted a view's width at a time.
    // Worked out once when the line is made, since a line can run to millions of characters.
    bool inCodePage() const { return m_inCodePage; }
    static bool AllInCodePage(QStringView text);

private:
    // What few lines hold beyond their bytes, kept apart so that a plain reply costs nothing for
    // it.
    struct Extras {
        QString typed;   // a command: as typed, when shown with a check value
        QString verdict; // a reply: its check value's verdict, when checked
        QString note;    // a command: what sent it, when not the operator
        LineMarks marks;
    };
    // A status line has traffic of its own kind only when it is marked.
    struct Traffic {
        Kind kind;
        bool checkFailed = false;
        qint64 answerMs = -1;
        qsizetype byteCount = 0;
        qsizetype renderedFrom = 0; // a reply: where its rendering starts in the text
        QByteArray bytes;           // a command: its bytes
        QBitArray literalLess;      // a reply: by byte offset, which bytes are a "<" of its own
        std::unique_ptr<const Extras> extras;
    };

    const Extras* extras() const { return m_traffic ? m_traffic->extras.get() : nullptr; }
    static std::unique_ptr<const Extras> MakeExtras(const QString& typed, const QString& verdict,
                                                    const QString& note, const LineMarks& marks);

    QString m_text;
    // The flag shares the time's word: a log of a million lines costs no more for it.
    qint64 m_timeMs : 63 = 0;
    quint64 m_inCodePage : 1 = 0;
    std::unique_ptr<const Traffic> m_traffic; // none for a status line
};
