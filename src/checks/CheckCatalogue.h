#pragma once

#include <span>
#include <string_view>

// How a check value is computed and over which bytes of a command or reply.
enum class CheckKind {
    Bcc,        // XOR of the bytes after STX through ETX
    BccWithStx, // the same with the STX itself in the XOR; the finder tries it, it is no menu entry
    Xor,
    Sum8,
    Lrc,
    Crc16Modbus,
    Crc16Ccitt,
    Crc16Xmodem,
    Crc16Kermit,
    Crc16Osdp,
    Crc32
};

// Bcc and its STX variant cover a frame, STX ... ETX; every other kind covers all bytes before it.
constexpr bool CoversFrame(CheckKind kind)
{
    return kind == CheckKind::Bcc || kind == CheckKind::BccWithStx;
}

// One check value an engineer can choose: its name, a rule in a few words for a menu, and whether
// the value travels as its bytes or as those bytes written in upper-case hex characters.
struct CheckEntry {
    std::string_view name;
    std::string_view rule;
    CheckKind kind;
    bool hex;
};

// The 20 entries in menu order: each name, then the same name with "-hex".
std::span<const CheckEntry> CheckCatalogue();

// The entry of that name, upper or lower case alike; nullptr when there is none.
const CheckEntry* FindCheck(std::string_view name);
