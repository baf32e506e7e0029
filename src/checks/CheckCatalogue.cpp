#include "checks/CheckCatalogue.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace
{

using K = CheckKind;

constexpr std::array<CheckEntry, 20> Entries = {{
    {"bcc", "XOR after STX through ETX", K::Bcc, false},
    {"bcc-hex", "XOR after STX through ETX as upper-case hex characters", K::Bcc, true},
    {"xor", "XOR of all bytes", K::Xor, false},
    {"xor-hex", "XOR of all bytes as upper-case hex characters", K::Xor, true},
    {"sum8", "sum of all bytes modulo 256", K::Sum8, false},
    {"sum8-hex", "sum of all bytes modulo 256 as upper-case hex characters", K::Sum8, true},
    {"lrc", "two's complement of the byte sum", K::Lrc, false},
    {"lrc-hex", "two's complement of the byte sum as upper-case hex characters", K::Lrc, true},
    {"crc16-modbus", "CRC-16/MODBUS, low byte first", K::Crc16Modbus, false},
    {"crc16-modbus-hex", "CRC-16/MODBUS, low byte first as upper-case hex characters",
     K::Crc16Modbus, true},
    {"crc16-ccitt", "CRC-16/CCITT-FALSE, high byte first", K::Crc16Ccitt, false},
    {"crc16-ccitt-hex", "CRC-16/CCITT-FALSE, high byte first as upper-case hex characters",
     K::Crc16Ccitt, true},
    {"crc16-xmodem", "CRC-16/XMODEM, high byte first", K::Crc16Xmodem, false},
    {"crc16-xmodem-hex", "CRC-16/XMODEM, high byte first as upper-case hex characters",
     K::Crc16Xmodem, true},
    {"crc16-kermit", "CRC-16/KERMIT, low byte first", K::Crc16Kermit, false},
    {"crc16-kermit-hex", "CRC-16/KERMIT, low byte first as upper-case hex characters",
     K::Crc16Kermit, true},
    {"crc16-osdp", "CRC-16/AUG-CCITT, low byte first", K::Crc16Osdp, false},
    {"crc16-osdp-hex", "CRC-16/AUG-CCITT, low byte first as upper-case hex characters",
     K::Crc16Osdp, true},
    {"crc32", "CRC-32, low byte first", K::Crc32, false},
    {"crc32-hex", "CRC-32, low byte first as upper-case hex characters", K::Crc32, true},
}};

bool SameLetters(char a, char b)
{
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

} // namespace

std::span<const CheckEntry> CheckCatalogue()
{
    return Entries;
}

const CheckEntry* FindCheck(std::string_view name)
{
    const auto found = std::ranges::find_if(Entries, [name](const CheckEntry& e) {
        return std::ranges::equal(e.name, name, SameLetters);
    });
    return found == Entries.end() ? nullptr : &*found;
}
