#pragma once

#include "notation/ByteText.h"
#include "protocol/ProtocolDescription.h"

#include <cstddef>
#include <string_view>
#include <vector>

// A frame's bytes with the byte stuffing undone, and where each came from in the bytes as sent.
struct Unstuffed {
    ByteText bytes;
    std::vector<std::size_t> raw; // each byte's offset in the bytes as sent, then one past the last
    bool ended = false;           // the end bytes were found
    std::size_t endAt = 0;        // and start here in bytes
};

// Undoes the stuffing of sent, a frame's bytes from its start bytes on (no mark): the start bytes
// stand as they are, then an escape byte and the byte after it are one byte, up to the end bytes
// (if the frame has them), which stand as they are with all after them. Stops early where the
// bytes end in the middle of an escape or of the end bytes.
void Unstuff(const Description& description, std::string_view sent, Unstuffed& out);

// frame with its bytes between the first lead and the last tail stuffed.
ByteText Stuff(const Description& description, std::string_view frame, std::size_t lead,
               std::size_t tail);

// The frame's end bytes, empty when it has none.
std::string_view EndBytes(const Description& description);
