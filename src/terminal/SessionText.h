#pragma once

#include "terminal/BoundedLines.h"

#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <functional>
#include <string_view>

// Which way bytes went in a saved session: sent by the terminal, received, or heard on a tap.
enum class SessionStream { Output, Input, Trace };

// Reads the bytes of a saved session back out of its text, a piece at a time: the
// "[Output]------" and "[Input]------" lines (and a long reply's "[Input]+-----" lines) of a
// saved log or of the shell's output, after a time or none, up to a tab (what follows is a
// summary), a reply in the shell's --hex form ("02 4F 4B") read as hex pairs; or, when the first
// line ends in CR LF and has no such marker nor a blank, every line of a SaveFile.TXT, each a
// serial reply.
// Other lines (the log's own words) are passed over. The text is read back through the notation, as
// the renderer wrote it, which is lossy where the text was: a reply's own "<0D>" reads as the byte
// 0D. A "<" that no ">" closes on its line stands for itself. Memory stays bounded by kPartAtMost,
// whatever the text.
class SessionTextReader
{
public:
    static constexpr qsizetype kPartAtMost = 256 << 10;
    // The bytes of one line, or of one part of a long one.
    using Sink = std::function<void(SessionStream stream, std::string_view bytes)>;
    static constexpr qsizetype kProblemsTold = 20;

    explicit SessionTextReader(Sink sink);

    void Feed(QByteArrayView text) { m_lines.Feed(text); }
    void Finish();
    // Lines that could not be read back ("line 7: ..."), the first kProblemsTold of them.
    const QStringList& problems() const { return m_problems; }
    qint64 problemCount() const { return m_problemCount; }
    bool isCapture() const { return m_mode == Mode::Capture; }

private:
    enum class Mode { Unknown, Log, Capture };
    void Part(QByteArrayView text, bool first, bool last);
    void Read(bool last);
    void ReadHex(QByteArrayView text, bool last);
    void Problem(const QString& what);

    Sink m_sink;
    BoundedLines m_lines;
    Mode m_mode = Mode::Unknown;
    qint64 m_number = 0;   // the line's number
    bool m_taking = false; // the line's text is a session's bytes
    SessionStream m_stream = SessionStream::Input;
    QStringDecoder m_utf8{QStringDecoder::Utf8};
    QString m_text;           // decoded and not yet read back: from an unclosed "<"
    bool m_hex = false;       // the line is the shell's --hex form
    bool m_hexBefore = false; // an earlier line was
    int m_nibble = -1;        // a hex digit read, waiting for its pair
    qint64 m_problemCount = 0;
    QStringList m_problems;
};
