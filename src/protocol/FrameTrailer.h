#pragma once

#include "checks/CheckCatalogue.h"
#include "protocol/FrameWalk.h"
#include "protocol/ProtocolDescription.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The items after the message's data as they stand once the frame's own fields are read.
struct TrailerShape {
    std::size_t size = 0;
    const CheckEntry* check = nullptr;
    std::size_t checkAt = 0; // offsets in the trailer
    std::size_t checkSize = 0;
    std::string_view end; // the end bytes, when the frame has them
    std::size_t endAt = 0;
};
TrailerShape ShapeTrailer(const Description& description, const FrameWalk& walk);

// The size of a frame whose length field is read, by what it counts; -1 when impossible.
std::int64_t SizeByLength(const FieldSpec& length, const FieldValues& values,
                          const TrailerShape& trailer);

// Whether the check value at its place in the frame's first size bytes is right.
bool CheckFits(const Description& description, std::string_view frame, std::size_t size,
               const TrailerShape& trailer, const FieldValues& values);
// Where the bytes the check value covers start (they end where it stands).
std::size_t CheckStart(const Description& description, const FieldValues& values);
// The bytes the check value covers.
std::string_view CheckedBytes(const Description& description, std::string_view frame,
                              std::size_t size, const TrailerShape& trailer,
                              const FieldValues& values);
