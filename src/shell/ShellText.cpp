#include "shell/ShellText.h"

namespace
{

constexpr char kDigits[] = "0123456789ABCDEF";

bool IsC1(unsigned char c)
{
    return c >= 0x80 && c <= 0x9F;
}

bool IsC0(unsigned char c)
{
    return (c < 0x20 && c != '\n') || c == 0x7F;
}

void AppendToken(unsigned char c, std::string& out)
{
    const char token[] = {'<', kDigits[c >> 4], kDigits[c & 15], '>'};
    out.append(token, sizeof token);
}

} // namespace

void AppendForTerminal(std::string_view latin1, std::string& utf8)
{
    utf8.reserve(utf8.size() + 2 * latin1.size());
    for (const unsigned char c : latin1) {
        if (c < 0x80) {
            utf8 += char(c);
        } else if (IsC1(c)) {
            AppendToken(c, utf8);
        } else {
            utf8 += char(0xC0 | (c >> 6));
            utf8 += char(0x80 | (c & 0x3F));
        }
    }
}

std::string WithControlsAsTokens(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        // U+0080-U+009F are C2 80 to C2 9F; C2 is never anything but a lead byte, and a byte
        // below 80 never part of a longer character.
        const unsigned char next = i + 1 < utf8.size() ? utf8[i + 1] : 0;
        if (IsC0(utf8[i])) {
            AppendToken(utf8[i], out);
        } else if (utf8[i] == '\xC2' && IsC1(next)) {
            AppendToken(next, out);
            ++i;
        } else {
            out += utf8[i];
        }
    }
    return out;
}
