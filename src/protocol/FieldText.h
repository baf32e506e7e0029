#pragma once

#include "protocol/ProtocolDescription.h"

#include <cstdint>
#include <string>
#include <string_view>

// A field's value as the decoder shows it: a number in decimal, or in hex of the field's width
// where the description says "hex"; characters, with bytes outside printable ASCII as <hh>; BCD
// digits; hex pairs; or each byte's bits, lowest first.
std::string FieldText(const FieldSpec& field, std::string_view bytes, std::int64_t number);

// Bytes as upper-case hex pairs, without blanks.
std::string HexPairs(std::string_view bytes);
