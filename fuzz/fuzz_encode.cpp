// Encodes arbitrary text: it never crashes or hangs, fails only for an unclosed "<" or a character
// with no byte, and gives exactly the bytes of the plain reference walk.
#include "ReferenceEncoder.h"

#include "notation/EncodeCommandText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace
{

// Lenient UTF-8: a well-formed multi-byte sequence gives its code point, any other byte stands
// for itself, so every input is some text and both sides of U+00FF are reached.
std::u32string DecodeUtf8(const std::uint8_t* data, std::size_t size)
{
    std::u32string text;
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t lead = data[i];
        std::size_t length = lead >= 0xF0 && lead < 0xF8   ? 4
                             : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xC0 && lead < 0xE0 ? 2
                                                           : 1;
        if (i + length > size)
            length = 1;
        char32_t c = length == 1 ? lead : char32_t(lead & (0x7F >> length));
        for (std::size_t k = 1; k < length && length > 1; ++k) {
            if ((data[i + k] & 0xC0) != 0x80) {
                length = 1;
                c = lead;
                break;
            }
            c = (c << 6) | (data[i + k] & 0x3F);
        }
        text += c;
        i += length;
    }
    return text;
}

// Raw 32-bit units, values beyond U+10FFFF included: the encoder takes any char32_t.
std::u32string DecodeUtf32(const std::uint8_t* data, std::size_t size)
{
    std::u32string text;
    for (std::size_t i = 0; i + 4 <= size; i += 4)
        text += char32_t(data[i]) | char32_t(data[i + 1]) << 8 | char32_t(data[i + 2]) << 16 |
                char32_t(data[i + 3]) << 24;
    return text;
}

// The error the text must give, found by a scan of its own: tokens run from "<" to the next ">",
// everything else is a literal character. The position is 0 when the text must encode.
std::pair<EncodeError::Kind, std::size_t> ExpectedError(const std::u32string& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == U'<') {
            std::size_t close = i + 1;
            while (close < text.size() && text[close] != U'>')
                ++close;
            if (close == text.size())
                return {EncodeError::Kind::UnclosedToken, i + 1};
            i = close;
        } else if (text[i] > 0xFF) {
            return {EncodeError::Kind::NoByteForCharacter, i + 1};
        }
    }
    return {EncodeError::Kind::UnclosedToken, 0};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A leading zero byte selects raw UTF-32 units for the rest; anything else is UTF-8.
    const std::u32string text =
        size > 0 && data[0] == 0 ? DecodeUtf32(data + 1, size - 1) : DecodeUtf8(data, size);
    const EncodedCommand result = EncodeCommandText(text);

    const auto [kind, position] = ExpectedError(text);
    if (position == 0) {
        if (!result.ok())
            __builtin_trap();
    } else if (result.ok() || result.error->kind != kind || result.error->position != position) {
        __builtin_trap();
    }
    if (!MatchesReference(text, result))
        __builtin_trap();
    return 0;
}
