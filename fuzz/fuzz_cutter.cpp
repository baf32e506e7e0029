// The frame cutter of each built-in protocol on arbitrary bytes: fed whole, or in pieces split
// where the input says and at times that never reach the gap, the same pieces come out (runs of
// bytes that no frame takes joined); the pieces join to the bytes fed; every frame decodes with
// its check value right and every failed one with it wrong; nothing waits after a flush. The
// first byte chooses the protocol and the split.
#include "protocol/DescriptionReader.h"
#include "protocol/FrameCutter.h"
#include "protocol/MessageDecoder.h"

#include "BuiltinTexts.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace
{

void Expect(bool holds)
{
    if (!holds)
        std::abort();
}

// The pieces with neighbouring runs of bytes that no frame takes joined into one.
std::vector<CutPiece> Joined(const std::vector<CutPiece>& pieces)
{
    std::vector<CutPiece> joined;
    for (const CutPiece& piece : pieces) {
        if (!joined.empty() && piece.kind == CutPiece::Kind::NotAFrame &&
            joined.back().kind == CutPiece::Kind::NotAFrame)
            joined.back().bytes += piece.bytes;
        else
            joined.push_back(piece);
    }
    return joined;
}

std::vector<CutPiece> Cut(const std::shared_ptr<const Description>& description,
                          std::string_view bytes, unsigned step)
{
    FrameCutter cutter(description);
    std::vector<CutPiece> pieces;
    std::int64_t now = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t size = step ? 1 + (bytes[at] % step) : bytes.size();
        cutter.Feed(bytes.substr(at, size), now++, pieces);
        Expect(cutter.waiting() <= 2 * std::size_t(description->longest) + 2);
        at += size;
    }
    cutter.Flush(pieces);
    Expect(cutter.waiting() == 0 && !cutter.Deadline());
    return Joined(pieces);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<std::shared_ptr<const Description>> protocols = [] {
        std::vector<std::shared_ptr<const Description>> read;
        for (const BuiltinText& builtin : BuiltinTexts) {
            read.push_back(ReadDescription(builtin.text, builtin.name).description);
            Expect(read.back() != nullptr);
        }
        return read;
    }();
    if (size == 0)
        return 0;
    const auto& description = protocols[data[0] % protocols.size()];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::vector<CutPiece> whole = Cut(description, bytes, 0);
    const std::vector<CutPiece> split = Cut(description, bytes, 1 + data[0] / 3 % 16);
    Expect(whole.size() == split.size());
    std::string joined;
    MessageDecoder decoder(description);
    for (std::size_t i = 0; i < whole.size(); ++i) {
        Expect(whole[i].kind == split[i].kind && whole[i].bytes == split[i].bytes);
        joined += whole[i].bytes;
        if (whole[i].kind == CutPiece::Kind::NotAFrame)
            continue;
        const Message message = decoder.Decode(whole[i].bytes);
        Expect(message.check.ok() == (whole[i].kind == CutPiece::Kind::Frame));
    }
    Expect(joined == bytes);
    return 0;
}
