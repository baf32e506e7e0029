#pragma once

#include "checks/CheckCatalogue.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A protocol as its description says it (docs/protocols.md): how its frames are cut from the byte
// stream, what their fields are, which message each frame is, what the terminal fills in when a
// command is sent, and how a frame is summed up in one line. DescriptionReader builds one from
// text; the cutter, decoder and composer read it and never change it.

// Which way a frame went, as far as its reader knows: a command (what a panel or a master sends),
// a reply (what a reader or a slave answers), or unknown (a tap hears both ways).
enum class Direction { Unknown, Command, Reply };

enum class FieldType {
    Unsigned,  // 1 to 4 bytes, either byte order
    Signed,    // the same, two's complement
    Bits,      // a bit range of an earlier field
    Bcd,       // two decimal digits a byte, high nibble first
    Text,      // ASCII characters
    Decimal,   // ASCII decimal digits, read as a number
    HexDigits, // ASCII hex digits, read as a number
    Bytes,     // shown as hex pairs
    Flags,     // shown as 1s and 0s, each byte's lowest bit first (coils, inputs)
    Group      // a repeated group: its value is how many times it came
};

// How many bytes a field takes, or how many times a group repeats: a number, an earlier field's
// value plus an adjustment, or what is left of the message's data.
struct Count {
    enum class Kind { Fixed, Field, Rest };
    Kind kind = Kind::Fixed;
    std::int64_t number = 0; // Fixed: the count; Field: the adjustment
    int field = -1;          // Field: the field's index
};

// "FIELD" (present and not 0) or "FIELD = 1, 4-6" (present and one of those values).
struct Condition {
    int field = -1;                                            // -1 holds always
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges; // none: any value but 0
};

// What a length field counts.
enum class LengthRule {
    None,
    Frame, // the whole frame, from its first byte (after the mark) through its last
    After, // the bytes after the length field through the frame's last
    Check  // the bytes after the length field up to the check value, not included
};

struct ValueName {
    std::int64_t value;
    std::string name;
};

struct FieldSpec {
    std::string name;
    FieldType type = FieldType::Unsigned;
    int width = 1;          // Unsigned, Signed: bytes
    bool bigEndian = false; // Unsigned, Signed
    Count count;            // Bcd, Text, Decimal, HexDigits, Bytes, Flags, Group
    int parent = -1;        // Bits: the field they are bits of
    int low = 0, high = 0;  // Bits: the range, bit 0 the lowest
    bool hex = false;       // numbers shown (and written in the description) in hex
    std::vector<ValueName> names;
    int namesOf = -1; // "names as FIELD": that field's value names
    LengthRule length = LengthRule::None;
    std::int64_t lengthAdjust = 0; // added to what the length field counts
    bool filled = false;           // "fill V": the terminal writes fill
    std::int64_t fill = 0;
    int message = -1; // the message it belongs to; -1: the frame's own
    int slot = 0;     // where its value is kept while a frame is read
    int line = 0;

    bool numeric() const;
    // The field's size when it does not depend on other fields; -1 otherwise.
    int fixedSize() const;
};

// One step of a frame's layout or of a message's data.
struct Item {
    enum class Kind {
        Field,    // a field (or bits of one)
        Constant, // start or end bytes
        Check,    // the check value
        Group,    // items repeated
        If        // items present only when a condition holds
    };
    Kind kind = Kind::Field;
    int field = -1;          // Field, Group: the field's index
    std::string bytes;       // Constant
    Condition when;          // If
    std::vector<Item> items; // Group, If
    int line = 0;
    bool bits = false; // Field: bits of a field, read from it when asked for
};

struct CheckSpec {
    const CheckEntry* chosen = nullptr;    // the check value, or the one when `when` holds
    const CheckEntry* otherwise = nullptr; // the one when `when` does not hold
    Condition when;
    int fromField = -1; // the first covered byte is this field's first
    int fromOffset = 0; // or this offset in the frame
};

struct MessageSpec {
    std::string name;
    Direction direction = Direction::Unknown;                 // Unknown: either way
    std::vector<std::pair<std::int64_t, std::int64_t>> codes; // none: any code
    bool idle = false; // carries nothing new (a poll, a plain acknowledgement)
    std::vector<Item> items;
    struct SummaryPart {
        std::string text;
        int field = -1;      // -1: text alone
        bool number = false; // the value, not its name
    };
    std::vector<SummaryPart> summary;
    // How the cutter learns the frame's size from the message, when it can: the data's size
    // when every field has a fixed size, or a length field at a fixed offset in the data.
    int fixedSize = -1;
    int lengthField = -1;
    int lengthAt = 0; // the length field's offset in the data
    int line = 0;
};

struct SequenceRule {
    int field = -1; // -1: none
    std::int64_t first = 0, low = 1, high = 3;
    int per = -1;        // counted per value of this field
    bool onSend = false; // advances as a command is sent, not when its reply comes
};

struct Restart {
    int message = -1;
    Condition when;
};

struct Description {
    std::string name;
    std::string title;

    int mark = -1;         // a byte that may come before the start, outside length and check
    bool markSent = false; // the terminal sends it
    int escape = -1;       // byte stuffing: this byte, then the next XOR escapeXor
    unsigned escapeXor = 0;
    std::string escaped; // the bytes stuffed when sending
    int gapMs = 50;      // an incomplete frame is given up after this long without a byte
    int shortest = 1;
    int longest = 1024;

    std::vector<Item> header;  // the items before the message's data
    std::vector<Item> trailer; // and after it
    Condition encrypted;       // the data is encrypted when this holds (never, field -1)
    CheckSpec check;
    int codeField = -1;   // the field whose value chooses the message
    int lengthField = -1; // the frame's length field, when it has one
    Condition reply;      // a frame is a reply when this holds (never, field -1)
    SequenceRule sequence;
    std::vector<Restart> restarts;
    std::vector<MessageSpec::SummaryPart> summary;

    std::vector<FieldSpec> fields;
    std::vector<MessageSpec> messages;
    int slotCount = 0; // values kept while one frame is read

    // The leading start bytes, by which a frame is found; empty when any byte may start one.
    std::string start() const;
    // The field of that name among the frame's and the message's fields; -1 when none.
    int FindField(std::string_view name, const MessageSpec* message) const;
    int FindMessage(std::string_view name) const;
};
