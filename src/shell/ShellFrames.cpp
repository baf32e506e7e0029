#include "shell/ShellFrames.h"

#include "shell/ShellOutput.h"
#include "terminal/Pattern.h"
#include "terminal/TrafficLines.h"

ShellFrames::ShellFrames(std::shared_ptr<const Description> description, Direction direction,
                         ShellOutput& output, bool hex, bool timed, QObject* parent)
    : QObject(parent), m_reader(std::move(description), direction), m_output(output), m_hex(hex),
      m_timed(timed)
{
    connect(&m_reader, &FrameReader::PieceRead, this, [this](const ReadPiece& piece) {
        print(piece.continued ? kContinuedMarker : kInputMarker, piece);
        emit PieceRead(piece);
    });
}

bool ShellFrames::PrintSent(const QByteArray& bytes, const QString& after)
{
    return print(kOutputMarker, m_reader.Sent(bytes), after);
}

bool ShellFrames::Matches(const Pattern& pattern, const ReadPiece& piece, bool* gaveUp)
{
    const Pattern::Result onBytes = pattern.Search(piece.bytes);
    if (onBytes == Pattern::Result::Match)
        return true;
    const Pattern::Result onSummary = pattern.SearchText(piece.summary());
    if (gaveUp)
        *gaveUp = onBytes == Pattern::Result::GaveUp || onSummary == Pattern::Result::GaveUp;
    return onSummary == Pattern::Result::Match;
}

bool ShellFrames::print(const QString& marker, const ReadPiece& piece, const QString& after)
{
    return m_output.Reply((m_timed ? ShellOutput::LocalTime() : QString()) + marker, piece.bytes,
                          m_hex, piece.tabbedSummary() + after);
}
