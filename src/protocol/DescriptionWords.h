#pragma once

#include "protocol/ProtocolDescription.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The words of a description's lines and the small things they say: numbers, bytes, types.

// A line without its comment: from a "#" at the line's start or after a blank.
std::string_view WithoutComment(std::string_view line);
// The line's words, split at blanks.
std::vector<std::string_view> SplitWords(std::string_view line);
// What follows the line's first n words, without the blanks around it.
std::string_view AfterWords(std::string_view line, std::size_t n);

// "word" in double quotes, as problems name what they refuse.
std::string Quoted(std::string_view word);
// A name: a letter or "_", then letters, digits or "_".
bool IsName(std::string_view word);

// A value as a field shows it: hex digits for a hex field, else decimal digits (a leading "-"
// allowed); or one ASCII character in single quotes ('A').
std::optional<std::int64_t> ReadValue(std::string_view word, bool hex);
// A count or a time: decimal digits, up to about a billion.
std::optional<std::int64_t> ReadCount(std::string_view word);

// Bytes as hex pairs, one a word ("02", "10 03"). false with the problem when one is not.
bool ReadBytes(std::span<const std::string_view> words, std::string& bytes, std::string& problem);

// Values and ranges, as "1, 4-6" (hex or decimal as the field shows them).
using Ranges = std::vector<std::pair<std::int64_t, std::int64_t>>;
bool ReadRanges(std::string_view text, bool hex, Ranges& ranges, std::string& problem);

// A field type word: u8, s16le, u32be, bcd, text, decimal, hexdigits, bytes, flags.
struct TypeWord {
    FieldType type;
    int width = 1;
    bool bigEndian = false;
    bool counted = false; // a count of bytes follows the type
};
bool ReadType(std::string_view word, TypeWord& type, std::string& problem);
