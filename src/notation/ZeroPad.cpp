#include "notation/ZeroPad.h"

std::string ZeroPad(std::optional<std::string_view> value, std::int16_t width)
{
    std::string text = value ? std::string(*value) : std::string();
    if (width <= 0)
        return text;
    const std::size_t w = std::size_t(width);
    if (text.size() < w)
        return std::string(w - text.size(), '0') + text;
    return text.substr(text.size() - w);
}

std::string ZeroPad(long long value, std::int16_t width)
{
    return ZeroPad(std::optional<std::string_view>(std::to_string(value)), width);
}
