#include "notation/EncodeCommandText.h"

#include <cstdio>

ByteText outputBuffer;

namespace
{

int HexDigit(char32_t c)
{
    if (c >= U'0' && c <= U'9')
        return int(c - U'0');
    if (c >= U'A' && c <= U'F')
        return int(c - U'A') + 10;
    if (c >= U'a' && c <= U'f')
        return int(c - U'a') + 10;
    return -1;
}

bool IsIgnoredBlank(char32_t c)
{
    return c == U' ' || c == U'\t' || c == U'\n';
}

// The value of the field of up to two characters after a "<": blanks, tabs and line feeds are
// skipped, hex digits are read until the first other character.
std::uint8_t FieldValue(std::u32string_view field)
{
    unsigned value = 0;
    for (char32_t c : field) {
        if (IsIgnoredBlank(c))
            continue;
        const int d = HexDigit(c);
        if (d < 0)
            break;
        value = value * 16 + unsigned(d);
    }
    return std::uint8_t(value);
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string EncodeError::Describe() const
{
    if (kind == Kind::UnclosedToken)
        return "\"<\" at position " + std::to_string(position) + " is not closed by \">\"";
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", unsigned(character));
    std::string text = "character ";
    text += code;
    text += " \"";
    AppendUtf8(text, character);
    text += "\" at position " + std::to_string(position) + " has no byte in the code page";
    return text;
}

EncodedCommand EncodeCommandText(std::u32string_view text)
{
    EncodedCommand result;
    // Never more bytes than characters: write through a pointer into a buffer of that size.
    outputBuffer.assign(text.size(), '\0');
    char* out = outputBuffer.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const char32_t c = text[i];
        if (c != U'<') {
            // A literal character, a ">" that no "<" opened included.
            if (c > 0xFF) {
                result.error = EncodeError{EncodeError::Kind::NoByteForCharacter, i + 1, c};
                outputBuffer.clear();
                return result;
            }
            *out++ = char(c);
            ++i;
            continue;
        }
        // A token: its field is the two characters after "<", whatever they are; the token runs
        // to the first ">" after the "<", which may lie inside the field.
        const std::size_t close = text.find(U'>', i + 1);
        if (close == std::u32string_view::npos) {
            result.error = EncodeError{EncodeError::Kind::UnclosedToken, i + 1, U'<'};
            outputBuffer.clear();
            return result;
        }
        *out++ = char(FieldValue(text.substr(i + 1, 2)));
        i = close + 1;
    }
    outputBuffer.resize(std::size_t(out - outputBuffer.data()));
    result.bytes.assign(outputBuffer.begin(), outputBuffer.end());
    return result;
}
