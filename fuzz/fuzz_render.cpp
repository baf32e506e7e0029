// Renders arbitrary replies: it never crashes, each byte becomes itself or its "<hh>" token, and
// encoding the rendering of a reply free of "<" and ">" gives the reply back.
#include "ReferenceEncoder.h"

#include "notation/EncodeCommandText.h"
#include "notation/RenderReceivedData.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ByteText reply(reinterpret_cast<const char*>(data), size);
    const std::string rendered = RenderReceivedData(reply);

    static const char digits[] = "0123456789ABCDEF";
    std::string expected;
    bool hasBrackets = false;
    for (const char ch : reply) {
        const auto c = std::uint8_t(ch);
        if (c <= 32 || c == 127) {
            expected += '<';
            expected += digits[c >> 4];
            expected += digits[c & 15];
            expected += '>';
        } else {
            expected += ch;
        }
        hasBrackets = hasBrackets || ch == '<' || ch == '>';
    }
    if (rendered != expected)
        __builtin_trap();

    // The rendering read back as operator text, one character per byte.
    std::u32string text;
    for (const char ch : rendered)
        text += char32_t(std::uint8_t(ch));
    const EncodedCommand back = EncodeCommandText(text);
    if (!MatchesReference(text, back))
        __builtin_trap();
    if (!hasBrackets && (!back.ok() || outputBuffer != reply ||
                         back.bytes != std::vector<std::uint8_t>(data, data + size)))
        __builtin_trap();
    return 0;
}
