#pragma once

#include "checks/CheckCatalogue.h"

#include <string>
#include <string_view>

// What a reply's check value says about the reply.
struct CheckVerdict {
    enum class Outcome {
        Ok,
        Failed,
        NotChecked // the reply holds no place for the value: a bare ACK, or bcc with no frame
    };
    std::string_view name;
    Outcome outcome = Outcome::NotChecked;
    // When failed, the value found and the one expected: hex pairs in wire order, or a -hex
    // entry's characters as they are (control bytes as "<hh>" tokens, as in a rendered reply).
    std::string found;
    std::string expected;

    bool ok() const { return outcome == Outcome::Ok; }
    // "bcc ok", "bcc 5B, expected 5A" or "bcc not checked", in the 8-bit code page.
    std::string Describe() const;
};

// Checks the value of check in reply. Bcc: every frame (STX ... ETX) followed by a value is
// checked, and all must hold. Every other check: the value stands at the very end (a -hex value
// at the end or before a trailing CR, LF or CR LF) and covers all bytes before it; a reply with
// room for no covered byte besides the value is not checked. A -hex value is read in upper or lower
// case.
CheckVerdict VerifyReply(const CheckEntry& check, std::string_view reply);

// The verdict on a value found where a frame's layout puts it, over the bytes it covers.
CheckVerdict VerifyValue(const CheckEntry& check, std::string_view found, std::string_view covered);
