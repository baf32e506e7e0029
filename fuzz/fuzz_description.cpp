// The protocol description reader on arbitrary text: no crash, no hang; a refused description
// names a line of the text and says what is wrong. A description read cuts its own text as a
// byte stream into pieces that join to it again, decodes each and composes a command from it.
#include "protocol/DescriptionReader.h"
#include "protocol/FrameComposer.h"
#include "protocol/FrameCutter.h"
#include "protocol/MessageDecoder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const DescriptionReading reading = ReadDescription(text, "fuzz");
    if (!reading.ok()) {
        const auto lines = std::count(text.begin(), text.end(), '\n') + 1;
        if (reading.line < 1 || reading.line > lines || reading.problem.empty())
            std::abort();
        return 0;
    }
    FrameCutter cutter(reading.description);
    std::vector<CutPiece> pieces;
    cutter.Feed(text, 0, pieces);
    cutter.Flush(pieces);
    MessageDecoder decoder(reading.description);
    std::string joined;
    for (const CutPiece& piece : pieces) {
        joined += piece.bytes;
        if (decoder.Decode(piece.bytes).summary.empty())
            std::abort();
    }
    if (joined != text || cutter.waiting() != 0)
        std::abort();
    ProtocolSession session(reading.description);
    const Composed composed = ComposeCommand(*reading.description, session, text.substr(0, 24));
    if (composed.ok() == composed.bytes.empty() && !composed.ok())
        std::abort();
    return 0;
}
