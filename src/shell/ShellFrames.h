#pragma once

#include "terminal/FrameReader.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class Pattern;
class ShellOutput;

// A shell mode's traffic read by a protocol (--protocol): each piece cut from what the link reads
// is printed on a line of its own as it is cut, the bytes as a reply's line shows them, then a
// tab and the frame's summary; a frame whose check value fails says so after its summary.
class ShellFrames : public QObject
{
    Q_OBJECT
public:
    // direction: which way what the link reads goes. timed: each line begins with its local
    // time, as listen and answer print them.
    ShellFrames(std::shared_ptr<const Description> description, Direction direction,
                ShellOutput& output, bool hex, bool timed, QObject* parent = nullptr);

    FrameReader& reader() { return m_reader; }

    // Bytes as the link hands them on as it reads them (or a datagram, whole).
    void Feed(const QByteArray& bytes) { m_reader.Feed(bytes); }
    // The link closed: what waits is printed now.
    void Flush() { m_reader.Flush(); }
    // Prints the line of bytes sent, decoded, with after at its end; false once output cannot
    // be written.
    bool PrintSent(const QByteArray& bytes, const QString& after = {});

    // Whether pattern finds the piece's bytes (as patterns read them) or, separately, its summary.
    static bool Matches(const Pattern& pattern, const ReadPiece& piece, bool* gaveUp = nullptr);

signals:
    // A piece was cut and printed (or output failed meanwhile).
    void PieceRead(const ReadPiece& piece);

private:
    bool print(const QString& marker, const ReadPiece& piece, const QString& after = {});

    FrameReader m_reader;
    ShellOutput& m_output;
    bool m_hex;
    bool m_timed;
};
