#pragma once

#include "protocol/ProtocolDescription.h"

#include <memory>
#include <string>
#include <string_view>

// What reading a description gave: the protocol, or the first mistake found and its line. A
// description with a mistake is refused whole.
struct DescriptionReading {
    std::shared_ptr<const Description> description; // null when refused
    int line = 0;                                   // the mistake's line, counting from 1
    std::string problem; // what is wrong, as "\"u17\" is not a field type"

    bool ok() const { return description != nullptr; }
    // "source line 7: problem", for the event log or standard error.
    std::string Describe(std::string_view source) const;
};

// Reads a description's text (UTF-8, one statement a line, "#" comments; docs/protocols.md) as
// the protocol called name.
DescriptionReading ReadDescription(std::string_view text, std::string_view name);
