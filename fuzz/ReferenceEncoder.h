#pragma once

#include "notation/EncodeCommandText.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A deliberately plain encoder for the fuzz targets to compare against: it walks the text the slow
// way, one segment at a time on "the rest of the text", with no limit on segments or bytes.
struct ReferenceEncoding {
    std::vector<std::uint8_t> bytes;
    std::optional<EncodeError> error;
};

inline bool IsReferenceHexDigit(char32_t c, unsigned& value)
{
    if (c >= U'0' && c <= U'9')
        value = unsigned(c - U'0');
    else if (c >= U'A' && c <= U'F')
        value = unsigned(c - U'A') + 10;
    else if (c >= U'a' && c <= U'f')
        value = unsigned(c - U'a') + 10;
    else
        return false;
    return true;
}

// The byte a token's field (up to two characters) stands for.
inline std::uint8_t ReferenceFieldValue(std::u32string_view field)
{
    std::u32string kept;
    for (char32_t c : field)
        if (c != U' ' && c != U'\t' && c != U'\n')
            kept += c;
    unsigned value = 0;
    for (char32_t c : kept) {
        unsigned digit = 0;
        if (!IsReferenceHexDigit(c, digit))
            break;
        value = value * 16 + digit;
    }
    return std::uint8_t(value);
}

inline ReferenceEncoding ReferenceEncode(std::u32string_view text)
{
    ReferenceEncoding result;
    // Copies text[from, to) as literal characters; the first one without a byte is the error.
    auto literal = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to; ++k) {
            if (text[k] > 0xFF) {
                result.error = EncodeError{EncodeError::Kind::NoByteForCharacter, k + 1, text[k]};
                return false;
            }
            result.bytes.push_back(std::uint8_t(text[k]));
        }
        return true;
    };
    std::size_t rest = 0;
    for (;;) {
        const std::size_t p = text.find(U'<', rest);
        if (p == std::u32string_view::npos)
            break;
        if (p > rest) {
            if (!literal(rest, p))
                break;
            rest = p;
            continue;
        }
        const std::size_t close = text.find(U'>', rest + 1);
        if (close == std::u32string_view::npos) {
            result.error = EncodeError{EncodeError::Kind::UnclosedToken, rest + 1, U'<'};
            break;
        }
        result.bytes.push_back(ReferenceFieldValue(text.substr(rest + 1, 2)));
        rest = close + 1;
    }
    if (!result.error)
        literal(rest, text.size());
    if (result.error)
        result.bytes.clear();
    return result;
}

// Checks one encoding against the reference; returns false on any difference.
inline bool MatchesReference(std::u32string_view text, const EncodedCommand& got)
{
    const ReferenceEncoding want = ReferenceEncode(text);
    if (got.error.has_value() != want.error.has_value())
        return false;
    if (want.error) {
        const EncodeError& e = *got.error;
        if (e.kind != want.error->kind || e.position != want.error->position ||
            e.character != want.error->character || !got.bytes.empty())
            return false;
        const std::string described = e.Describe();
        return described.find(std::to_string(e.position)) != std::string::npos;
    }
    if (got.bytes != want.bytes)
        return false;
    // The module buffer holds the same bytes, one char each.
    return outputBuffer.size() == want.bytes.size() &&
           std::equal(outputBuffer.begin(), outputBuffer.end(), want.bytes.begin(),
                      [](char a, std::uint8_t b) { return std::uint8_t(a) == b; });
}
