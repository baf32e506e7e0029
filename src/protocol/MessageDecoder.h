#pragma once

#include "protocol/ByteStuffing.h"
#include "protocol/FrameTrailer.h"
#include "protocol/ProtocolDescription.h"
#include "protocol/ProtocolMessage.h"

#include <memory>
#include <string_view>
#include <vector>

// Decodes frames, as the cutter hands them on, into messages by a protocol's description: which
// message each is, its fields with their values and names, its check value's verdict and a
// one-line summary. Any bytes decode to something; bytes that are no frame of the protocol give
// a message with no type whose summary says so.
class MessageDecoder
{
public:
    explicit MessageDecoder(std::shared_ptr<const Description> description);

    // direction: which way the frame went, when known; the description's "reply if" decides
    // over it.
    Message Decode(std::string_view frame, Direction direction = Direction::Unknown);

    const Description& description() const { return *m_description; }

private:
    int Choose(Direction direction, std::string_view frame, std::size_t headerEnd,
               std::size_t dataEnd);
    void AddFields(const std::vector<FieldSpan>& spans, std::string_view frame, int chosen,
                   Message& message) const;
    void AddBytes(const char* name, std::size_t from, std::size_t to, std::string_view frame,
                  Message& message) const;
    std::string NameOf(const FieldSpec& field, std::int64_t value, int chosen) const;
    std::string Summary(const Message& message, int chosen) const;
    std::size_t Sent(std::size_t offset) const; // an offset of the frame as it was cut

    std::shared_ptr<const Description> m_description;
    FieldValues m_values;
    std::vector<FieldSpan> m_spans;
    Unstuffed m_unstuffed;
    std::size_t m_mark = 0;
};
