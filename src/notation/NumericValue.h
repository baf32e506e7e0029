#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The number at the start of text, read the way all numeric input is read: blanks, tabs and line
// feeds are ignored wherever they stand; sign, digits, decimal point, exponent; "&H" hexadecimal
// and "&O" octal; reading stops at the first character that cannot continue; no number gives 0.
// text is UTF-8; characters outside ASCII simply end the number.
double NumericValue(std::string_view text);

// value rounded to the nearest 32-bit integer, halves to the even neighbour; no value when it lies
// outside the 32-bit range (or is not a number), so the caller never sees a wrapped result.
std::optional<std::int32_t> RoundToInt32(double value);
