#include "protocol/FieldText.h"

#include "protocol/FrameWalk.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <iterator>

namespace
{

std::string NumberText(std::int64_t number, bool hex, int digits)
{
    if (!hex)
        return std::to_string(number);
    // Made for most fields of every frame read: to_chars, not a formatted print.
    char digitsRead[16];
    const char* end =
        std::to_chars(std::begin(digitsRead), std::end(digitsRead), std::uint64_t(number), 16).ptr;
    std::string text(std::size_t(std::max<std::ptrdiff_t>(0, digits - (end - digitsRead))), '0');
    for (const char* c = digitsRead; c != end; ++c)
        text += char(std::toupper(static_cast<unsigned char>(*c)));
    return text;
}

std::string Characters(std::string_view bytes)
{
    std::string text;
    for (const char c : bytes) {
        const unsigned byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            text += c;
            continue;
        }
        char token[5];
        std::snprintf(token, sizeof token, "<%02X>", byte);
        text += token;
    }
    return text;
}

} // namespace

std::string HexPairs(std::string_view bytes)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(2 * bytes.size());
    for (const char c : bytes) {
        text += Digits[static_cast<unsigned char>(c) >> 4];
        text += Digits[static_cast<unsigned char>(c) & 0xFu];
    }
    return text;
}

std::string FieldText(const FieldSpec& field, std::string_view bytes, std::int64_t number)
{
    switch (field.type) {
    case FieldType::Unsigned:
        return NumberText(number, field.hex, 2 * field.width);
    case FieldType::Signed:
        return field.hex ? NumberText(number & ((std::int64_t(1) << (8 * field.width)) - 1), true,
                                      2 * field.width)
                         : std::to_string(number);
    case FieldType::Bits:
        return NumberText(number, field.hex, (field.high - field.low + 4) / 4);
    case FieldType::Decimal:
    case FieldType::HexDigits: {
        std::int64_t read = 0;
        return ReadNumber(field, bytes, read) ? NumberText(read, field.hex, int(bytes.size()))
                                              : Characters(bytes);
    }
    case FieldType::Bcd:
        return HexPairs(bytes); // a nibble above 9 shows as the letter it is
    case FieldType::Text:
        return Characters(bytes);
    case FieldType::Flags: {
        std::string bits;
        for (const char c : bytes) {
            if (!bits.empty())
                bits += ' ';
            for (int bit = 0; bit < 8; ++bit)
                bits += (static_cast<unsigned char>(c) >> bit) & 1u ? '1' : '0';
        }
        return bits;
    }
    case FieldType::Bytes:
        return HexPairs(bytes);
    case FieldType::Group:
        break;
    }
    return {};
}
