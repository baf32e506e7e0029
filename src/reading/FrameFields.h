#pragma once

#include "protocol/ProtocolMessage.h"

#include <QByteArray>

#include <memory>
#include <optional>
#include <vector>

struct Description;

// A line's bytes read as one frame of a protocol, for Show Bytes: the message with its fields,
// and for each byte the field that holds it and the tint it is shown in.
class FrameFields
{
public:
    enum class Tint : quint8 { None, First, Second, Failed };
    static constexpr qsizetype kLongestFrame = 64 << 10;

    // The bytes decoded as the window reads them, or none when they are not exactly one frame of
    // the protocol. A line longer than any frame of it is not looked at.
    static std::optional<FrameFields> Read(const std::shared_ptr<const Description>& description,
                                           const QByteArray& bytes);

    const Message& message() const { return m_message; }
    const QByteArray& bytes() const { return m_bytes; }
    qsizetype size() const { return m_bytes.size(); }
    // The innermost field that holds the byte at offset (its index in the message's fields);
    // -1 for bytes no field holds, such as start and end bytes.
    int fieldAt(qsizetype offset) const;
    // The tints alternate from one outermost field to the next; a check value that fails is red.
    Tint tintAt(qsizetype offset) const;

private:
    QByteArray m_bytes;
    Message m_message;
    std::vector<int> m_holder;
    std::vector<Tint> m_tint;
};
