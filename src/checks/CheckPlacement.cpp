#include "checks/CheckPlacement.h"

#include "checks/CheckValue.h"

#include <cstdio>
#include <vector>

namespace
{

constexpr char Stx = '\x02';
constexpr char Etx = '\x03';

// The value as it stands in a command text.
std::u32string ValueText(const CheckEntry& check, const ByteText& value)
{
    std::u32string text;
    for (const char c : value) {
        if (check.hex) {
            text += char32_t(static_cast<unsigned char>(c));
            continue;
        }
        char token[5];
        std::snprintf(token, sizeof token, "<%02X>", unsigned(static_cast<unsigned char>(c)));
        text.append(token, token + 4);
    }
    return text;
}

} // namespace

std::optional<Frame> FindFrame(std::string_view bytes, std::size_t from)
{
    const std::size_t stx = bytes.find(Stx, from);
    if (stx == std::string_view::npos)
        return std::nullopt;
    const std::size_t etx = bytes.find(Etx, stx + 1);
    if (etx == std::string_view::npos)
        return std::nullopt;
    return Frame{stx, etx};
}

std::size_t TrailingEndLength(std::string_view bytes)
{
    if (bytes.ends_with("\r\n"))
        return 2;
    return bytes.ends_with('\r') || bytes.ends_with('\n') ? 1 : 0;
}

CheckPlace PlaceCheck(const CheckEntry& check, std::string_view command)
{
    if (CoversFrame(check.kind)) {
        if (const std::optional<Frame> frame = FindFrame(command)) {
            const bool withStx = check.kind == CheckKind::BccWithStx;
            return {withStx ? frame->stx : frame->stx + 1, frame->etx + 1};
        }
    }
    return {0, command.size() - (check.hex ? TrailingEndLength(command) : 0)};
}

std::string_view PlaceRule(const CheckEntry& check)
{
    if (CoversFrame(check.kind))
        return "after the ETX";
    return check.hex ? "before a trailing CR/LF" : "at the very end";
}

ByteText WithCheck(const CheckEntry& check, std::string_view command)
{
    const CheckPlace place = PlaceCheck(check, command);
    ByteText placed(command);
    placed.insert(place.at, CheckValue(check, command.substr(place.from, place.at - place.from)));
    return placed;
}

CheckedCommand EncodeCheckedCommand(const CheckEntry& check, std::u32string_view text)
{
    std::vector<std::size_t> starts;
    CheckedCommand result{EncodeCommandText(text, starts), std::u32string(text)};
    std::vector<std::uint8_t>& bytes = result.encoded.bytes;
    if (!result.encoded.ok() || bytes.empty())
        return result;
    const std::string_view command(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const CheckPlace place = PlaceCheck(check, command);
    const ByteText value = CheckValue(check, command.substr(place.from, place.at - place.from));
    // The text of the byte that follows the value starts where the value's text goes.
    result.display.insert(place.at < starts.size() ? starts[place.at] : text.size(),
                          ValueText(check, value));
    bytes.insert(bytes.begin() + std::ptrdiff_t(place.at), value.begin(), value.end());
    return result;
}
