#pragma once

#include "protocol/ProtocolDescription.h"
#include "protocol/ProtocolMessage.h"

#include <cstdint>
#include <map>
#include <memory>

// What one link's traffic has told of a protocol's sequence numbers: the number the next command
// to each address (the description's "per" field) carries. By the description's rule the first
// command to an address carries the first number, and the number advances when a reply carrying
// it comes (or, for a rule "on send", as the command goes), so that a command sent again after no
// reply keeps it; a reply the description names under "restart" brings the first number back.
class ProtocolSession
{
public:
    explicit ProtocolSession(std::shared_ptr<const Description> description);

    // The number the next command to key (the per field's value; 0 without one) carries.
    std::int64_t Next(std::int64_t key) const;
    // A command went to key.
    void Sent(std::int64_t key);
    // A frame came from the peer, decoded.
    void Observe(const Message& received);
    // The link was opened again: every address starts afresh.
    void Reset() { m_next.clear(); }

private:
    std::shared_ptr<const Description> m_description;
    std::map<std::int64_t, std::int64_t> m_next;
};
