#pragma once

#include "checks/CheckVerdict.h"
#include "protocol/ProtocolDescription.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One field of a decoded frame.
struct MessageField {
    std::string name;       // a group's item is its name and number: "CAP 2"
    std::size_t offset = 0; // in the frame's bytes as cut (a mark counts); bits name their byte
    std::size_t size = 0;
    std::string value;     // a number (decimal, or hex where the description says), characters
                           // (others as <hh>), digits, hex pairs, or 1s and 0s
    std::string valueName; // what the value means, when the description names it
    int depth = 0;         // bits and a group's fields are one deeper than what holds them
    std::optional<std::int64_t> number;
    int fieldDef = -1; // the description's field; -1 for the check value and undescribed bytes
};

// A frame decoded by its protocol's description.
struct Message {
    std::string type; // the message's name; empty when none of the description fits
    Direction direction = Direction::Unknown;
    bool idle = false;      // carries nothing new: a poll, a plain acknowledgement
    bool encrypted = false; // its data is encrypted, and is shown as bytes
    std::vector<MessageField> fields;
    CheckVerdict check; // NotChecked when the protocol has no check value
    // One line: the message's name, the frame's summary, the message's own, as
    // "osdp_PDID  PD 01  SQN 2  vendor 0A0B0C serial 12345678". It is also the text a pattern
    // searches besides the frame's bytes.
    std::string summary;
    std::vector<std::string> notes; // what does not fit the description, one sentence each

    // The first field of that name, or null.
    const MessageField* Field(std::string_view name) const;
    // The fields one a line, indented by depth, then the check value's verdict and the notes:
    // for a tooltip.
    std::string Tooltip() const;
};
