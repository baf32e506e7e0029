#pragma once

#include "checks/CheckCatalogue.h"
#include "notation/ByteText.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// The check number of kind over bytes: 8 bits for the byte checks, 16 or 32 for the CRCs. Bcc and
// its STX variant are the XOR of the bytes given; which bytes those are is the placement's part.
std::uint32_t CheckNumber(CheckKind kind, std::string_view bytes);

// The value of check over covered as it travels: the number's bytes in the check's byte order, or
// for a -hex entry those bytes written as upper-case hex characters.
ByteText CheckValue(const CheckEntry& check, std::string_view covered);

// How many bytes CheckValue gives for check: 1, 2 or 4, twice that for a -hex entry.
std::size_t CheckValueSize(const CheckEntry& check);

// The value of check as it travels, for a check number already computed.
ByteText CheckValueOf(const CheckEntry& check, std::uint32_t number);
// Whether found is that value (a -hex value's letters in either case).
bool IsCheckValueOf(const CheckEntry& check, std::string_view found, std::uint32_t number);

// A check number over bytes that come a piece at a time: after Add of each piece, Number() is
// CheckNumber of them all. For a search that tries where a frame ends one byte after another.
class RunningCheck
{
public:
    explicit RunningCheck(CheckKind kind);
    void Add(std::string_view bytes);
    std::uint32_t Number() const;

private:
    CheckKind m_kind;
    std::uint32_t m_register;
};
