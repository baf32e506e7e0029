#include "notation/NumericValue.h"

#include <cfenv>
#include <cmath>
#include <string>

namespace
{

bool IsIgnoredBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

int DigitValue(char c, int base)
{
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    return d < base ? d : -1;
}

} // namespace

double NumericValue(std::string_view text)
{
    // Blanks, tabs and line feeds count nowhere, so drop them first.
    std::string s;
    s.reserve(text.size());
    for (char c : text)
        if (!IsIgnoredBlank(c))
            s += c;

    std::size_t i = 0;
    if (s.size() >= 2 && s[0] == '&') {
        const char radix = s[1];
        const int base = (radix == 'H' || radix == 'h')   ? 16
                         : (radix == 'O' || radix == 'o') ? 8
                                                          : 0;
        if (base == 0)
            return 0;
        double value = 0;
        for (i = 2; i < s.size(); ++i) {
            const int d = DigitValue(s[i], base);
            if (d < 0)
                break;
            value = value * base + d;
        }
        return value;
    }

    // A decimal number: sign, digits, point and fraction, exponent; keep the longest valid start.
    std::string number;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        number += s[i++];
    bool digits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        number += s[i++];
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        number += s[i++];
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            number += s[i++];
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        std::string exponent = "e";
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            exponent += s[j++];
        bool expDigits = false;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            exponent += s[j++];
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

std::optional<std::int32_t> RoundToInt32(double value)
{
    if (std::isnan(value))
        return std::nullopt;
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double rounded = std::nearbyint(value);
    if (rounded < -2147483648.0 || rounded > 2147483647.0)
        return std::nullopt;
    return std::int32_t(rounded);
}
