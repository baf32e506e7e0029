// Reads arbitrary text as a number and rounds arbitrary doubles: nothing crashes, blanks count
// nowhere, plain integers read exactly, and a value that fits rounds to its nearest integer,
// halves to the even one.
#include "notation/NumericValue.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace
{

void CheckRounding(double value)
{
    const auto rounded = RoundToInt32(value);
    // Halves round to even, so -2147483648.5 still fits and 2147483647.5 does not.
    const bool fits = !std::isnan(value) && value >= -2147483648.5 && value < 2147483647.5;
    if (rounded.has_value() != fits)
        __builtin_trap();
    if (!rounded)
        return;
    const double off = value - double(*rounded);
    if (std::fabs(off) > 0.5 || (std::fabs(off) == 0.5 && *rounded % 2 != 0))
        __builtin_trap();
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int HexDigit(char c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The value of texts simple enough to read here without floating point: a short signed integer
// not followed by anything that could continue it, or a short "&H" number. False otherwise.
bool SimpleValue(const std::string& s, double& value)
{
    if (s.size() >= 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h')) {
        std::size_t i = 2;
        std::uint64_t v = 0;
        while (i < s.size() && HexDigit(s[i]) >= 0 && i < 2 + 13)
            v = v * 16 + std::uint64_t(HexDigit(s[i++]));
        if (i < s.size() && HexDigit(s[i]) >= 0)
            return false;
        value = double(v);
        return true;
    }
    std::size_t i = 0;
    const bool negative = !s.empty() && s[0] == '-';
    if (!s.empty() && (s[0] == '-' || s[0] == '+'))
        ++i;
    const std::size_t first = i;
    std::int64_t v = 0;
    while (i < s.size() && IsDigit(s[i]) && i - first < 15)
        v = v * 10 + (s[i++] - '0');
    if (i == first)
        return false;
    if (i < s.size() && (IsDigit(s[i]) || s[i] == '.' || s[i] == 'e' || s[i] == 'E'))
        return false;
    value = negative ? -double(v) : double(v);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = NumericValue(text);
    if (std::isnan(value))
        __builtin_trap();

    std::string stripped;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n')
            stripped += c;
    if (NumericValue(stripped) != value)
        __builtin_trap();
    const char first = stripped.empty() ? '\0' : stripped[0];
    if (!IsDigit(first) && first != '+' && first != '-' && first != '.' && first != '&' &&
        value != 0)
        __builtin_trap();
    double simple = 0;
    if (SimpleValue(stripped, simple) && value != simple)
        __builtin_trap();

    CheckRounding(value);
    // The same bytes as a raw double reach NaN, infinities, subnormals and every boundary.
    if (size >= sizeof(double)) {
        double raw = 0;
        std::memcpy(&raw, data, sizeof raw);
        CheckRounding(raw);
    }
    return 0;
}
