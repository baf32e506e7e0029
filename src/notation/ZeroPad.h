#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The text of value, left-filled with "0" to width, or cut to its rightmost width characters when
// it is as long or longer; width 0 or less leaves it unchanged. A null value is the empty text.
std::string ZeroPad(std::optional<std::string_view> value, std::int16_t width);
std::string ZeroPad(long long value, std::int16_t width);
