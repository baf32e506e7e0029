#pragma once

#include "checks/CheckCatalogue.h"
#include "notation/ByteText.h"
#include "notation/EncodeCommandText.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Where a check value goes in a command: it covers the bytes from `from` up to `at` and is
// inserted before the byte at `at` (at the end when `at` is the command's size).
struct CheckPlace {
    std::size_t from;
    std::size_t at;
};

// The first STX at or after `from` and the first ETX after it.
struct Frame {
    std::size_t stx;
    std::size_t etx;
};
std::optional<Frame> FindFrame(std::string_view bytes, std::size_t from = 0);

// The length of a trailing CR LF (2), CR or LF (1); 0 when bytes end otherwise.
std::size_t TrailingEndLength(std::string_view bytes);

// Bcc goes right after the first frame's ETX and covers the frame after its STX (with the STX for
// its STX variant). Every other check, and bcc in a command with no frame, covers everything
// before it and goes at the very end, but a -hex value, which is text, before a trailing CR, LF
// or CR LF: a binary frame may well end in the byte 0D, a text line ends in its line end.
CheckPlace PlaceCheck(const CheckEntry& check, std::string_view command);

// Where the check goes, in a few words for a menu: "after the ETX", "at the very end" or
// "before a trailing CR/LF".
std::string_view PlaceRule(const CheckEntry& check);

// command with the value of check in its place.
ByteText WithCheck(const CheckEntry& check, std::string_view command);

// A command text encoded with its check value, and the text as the log shows it: the value's own
// text inserted where its bytes go, "<hh>" tokens for a value's bytes or the plain characters of a
// -hex value, so that the shown text encodes to exactly the bytes sent.
struct CheckedCommand {
    EncodedCommand encoded;
    std::u32string display;
};

// An empty or unencodable text gets no value, and is shown as it stands.
CheckedCommand EncodeCheckedCommand(const CheckEntry& check, std::u32string_view text);
