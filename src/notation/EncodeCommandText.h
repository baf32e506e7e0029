#pragma once

#include "notation/ByteText.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Why a command text could not be turned into bytes.
struct EncodeError {
    enum class Kind {
        UnclosedToken,     // a "<" with no ">" anywhere after it
        NoByteForCharacter // a character above U+00FF, which has no byte in the code page
    };
    Kind kind;
    std::size_t position; // 1-based character position in the command text
    char32_t character;   // the offending character ("<" for an unclosed token)

    // One plain English sentence for the event log, in UTF-8.
    std::string Describe() const;
};

struct EncodedCommand {
    std::vector<std::uint8_t> bytes;
    std::optional<EncodeError> error;

    bool ok() const { return !error.has_value(); }
};

// The bytes of the last encoding, one char per byte. Each encoding empties and refills it.
extern ByteText outputBuffer;

// Turns the trimmed operator text in the bracketed hex notation into the bytes to send.
// Empty text gives no bytes and no error; the caller treats that as nothing to send.
EncodedCommand EncodeCommandText(std::u32string_view text);

// The same, and for each byte the 0-based position in text where the characters that produced it
// start, so that a caller can point back into the text; empty when the text does not encode.
EncodedCommand EncodeCommandText(std::u32string_view text, std::vector<std::size_t>& starts);
