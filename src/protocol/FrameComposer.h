#pragma once

#include "notation/ByteText.h"
#include "protocol/ProtocolDescription.h"
#include "protocol/ProtocolMessage.h"
#include "protocol/ProtocolSession.h"

#include <string>
#include <string_view>

// A frame completed from what the operator typed, or why it cannot be.
struct Composed {
    ByteText bytes;
    std::string refusal; // a sentence, as "osdp wants at least 2 bytes typed: ADDR, CODE"

    bool ok() const { return refusal.empty(); }
};

// Completes typed, the bytes the operator typed (the frame's own fields that the terminal does
// not fill, in order, then the message's data: for OSDP the address, the code and the data),
// into the command to send: the start and end bytes, lengths, the sequence number the session
// gives, fields the description fills, the check value, byte stuffing and a mark that is sent.
Composed ComposeCommand(const Description& description, ProtocolSession& session,
                        std::string_view typed);

// The same for a reply to command, a frame received and decoded, as a stand-in for the device:
// it carries the command's sequence number and is marked a reply as the description's
// "reply if" says (OSDP: bit 7 of the address set).
Composed ComposeReply(const Description& description, const Message& command,
                      std::string_view typed);
