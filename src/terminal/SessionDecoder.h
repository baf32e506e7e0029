#pragma once

#include "protocol/FrameCutter.h"
#include "protocol/MessageDecoder.h"
#include "terminal/SessionText.h"

#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A piece of a saved session cut and decoded: a frame with its summary, or bytes that are none.
struct DecodedPiece {
    SessionStream stream = SessionStream::Input;
    CutPiece piece;
    std::string summary; // empty for bytes that are no frame
    // The piece as a line of the shell's output: the stream's marker, the bytes in the notation
    // (or as hex pairs), and for a frame a tab and its summary, with the check value found and
    // the one expected when it fails.
    QString Line(bool hex) const;
};

// Cuts and decodes a saved session's bytes by a protocol's description, each stream (sent,
// received, heard) cut on its own, so that a frame that came in two bursts is one again.
class SessionDecoder
{
public:
    explicit SessionDecoder(std::shared_ptr<const Description> description);

    // Bytes of a stream, at nowMs when the session says when (else any clock that does not go
    // back); the pieces they complete are appended to out.
    void Feed(SessionStream stream, std::string_view bytes, std::int64_t nowMs,
              std::vector<DecodedPiece>& out);
    // The session ended: what waits is given up.
    void Flush(std::vector<DecodedPiece>& out);

private:
    void Hand(SessionStream stream, std::vector<CutPiece>& pieces, std::vector<DecodedPiece>& out);

    std::array<std::optional<FrameCutter>, 3> m_cutters;
    std::array<Direction, 3> m_directions;
    MessageDecoder m_decoder;
    std::vector<CutPiece> m_pieces;
};
