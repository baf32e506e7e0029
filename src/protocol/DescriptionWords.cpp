#include "protocol/DescriptionWords.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace
{

bool Blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && Blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && Blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<std::int64_t> Digits(std::string_view word, int base)
{
    std::int64_t value = 0;
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value, base);
    if (word.empty() || stop != end || error != std::errc() || word.front() == '+')
        return std::nullopt;
    return value;
}

} // namespace

std::string_view WithoutComment(std::string_view line)
{
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '#' && (i == 0 || Blank(line[i - 1])))
            return line.substr(0, i);
    }
    return line;
}

std::vector<std::string_view> SplitWords(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && Blank(line[at]))
            ++at;
        const std::size_t from = at;
        while (at < line.size() && !Blank(line[at]))
            ++at;
        if (at > from)
            words.push_back(line.substr(from, at - from));
    }
    return words;
}

std::string_view AfterWords(std::string_view line, std::size_t n)
{
    std::size_t at = 0;
    for (std::size_t word = 0; word < n; ++word) {
        while (at < line.size() && Blank(line[at]))
            ++at;
        while (at < line.size() && !Blank(line[at]))
            ++at;
    }
    return Trimmed(line.substr(at));
}

std::string Quoted(std::string_view word)
{
    return '"' + std::string(word) + '"';
}

bool IsName(std::string_view word)
{
    const auto letter = [](char c) {
        return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
    };
    if (word.empty() || word.size() > 64 || !letter(word.front()))
        return false;
    for (const char c : word) {
        if (!letter(c) && !std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

std::optional<std::int64_t> ReadValue(std::string_view word, bool hex)
{
    if (word.size() == 3 && word.front() == '\'' && word.back() == '\'')
        return static_cast<unsigned char>(word[1]);
    if (hex && word.starts_with('-'))
        return std::nullopt;
    if (word.size() > 18)
        return std::nullopt;
    return Digits(word, hex ? 16 : 10);
}

std::optional<std::int64_t> ReadCount(std::string_view word)
{
    const std::optional<std::int64_t> count = word.size() <= 10 ? Digits(word, 10) : std::nullopt;
    if (!count || *count < 0 || word.starts_with('-'))
        return std::nullopt;
    return count;
}

bool ReadBytes(std::span<const std::string_view> words, std::string& bytes, std::string& problem)
{
    for (const std::string_view word : words) {
        const std::optional<std::int64_t> byte = word.size() == 2 ? Digits(word, 16) : std::nullopt;
        if (!byte || word.starts_with('-')) {
            problem = Quoted(word) + " is not a byte in hex, such as 02 or FF";
            return false;
        }
        bytes += char(*byte);
    }
    if (bytes.empty())
        problem = "the bytes are missing, such as 02 or 10 03";
    return !bytes.empty();
}

bool ReadRanges(std::string_view text, bool hex, Ranges& ranges, std::string& problem)
{
    const char* base = hex ? "in hex" : "in decimal";
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view part = Trimmed(text.substr(0, comma));
        // A "-" after the first character joins a range; one at the start is a sign.
        const std::size_t dash = part.find('-', 1);
        const std::optional<std::int64_t> low = ReadValue(Trimmed(part.substr(0, dash)), hex);
        const std::optional<std::int64_t> high =
            dash == std::string_view::npos ? low : ReadValue(Trimmed(part.substr(dash + 1)), hex);
        if (!low || !high || *high < *low) {
            problem = Quoted(part) + " is not a value " + base + " or a range of them";
            return false;
        }
        ranges.emplace_back(*low, *high);
        if (comma == std::string_view::npos)
            return true;
        text.remove_prefix(comma + 1);
    }
}

bool ReadType(std::string_view word, TypeWord& type, std::string& problem)
{
    static constexpr std::array<std::pair<std::string_view, FieldType>, 6> Counted = {{
        {"bcd", FieldType::Bcd},
        {"text", FieldType::Text},
        {"decimal", FieldType::Decimal},
        {"hexdigits", FieldType::HexDigits},
        {"bytes", FieldType::Bytes},
        {"flags", FieldType::Flags},
    }};
    for (const auto& [name, counted] : Counted) {
        if (word == name) {
            type = {counted, 1, false, true};
            return true;
        }
    }
    problem = Quoted(word) + " is not a field type";
    if (word.size() < 2 || (word[0] != 'u' && word[0] != 's'))
        return false;
    const std::size_t digitsEnd = std::min(word.find_first_not_of("0123456789", 1), word.size());
    const std::string_view order = word.substr(digitsEnd);
    const std::optional<std::int64_t> bits = ReadCount(word.substr(1, digitsEnd - 1));
    if (!bits || (*bits != 8 && *bits != 16 && *bits != 24 && *bits != 32))
        return false;
    type = {word[0] == 'u' ? FieldType::Unsigned : FieldType::Signed, int(*bits / 8), order == "be",
            false};
    if (*bits == 8)
        return order.empty();
    if (order != "le" && order != "be") {
        const std::string stem(word.substr(0, digitsEnd));
        problem = Quoted(word) + " needs its byte order: " + stem + "le or " + stem + "be";
        return false;
    }
    return true;
}
