#include "protocol/ProtocolDescription.h"

#include <algorithm>

bool FieldSpec::numeric() const
{
    switch (type) {
    case FieldType::Unsigned:
    case FieldType::Signed:
    case FieldType::Bits:
    case FieldType::Bcd:
    case FieldType::Decimal:
    case FieldType::HexDigits:
    case FieldType::Group:
        return true;
    default:
        return false;
    }
}

int FieldSpec::fixedSize() const
{
    if (type == FieldType::Unsigned || type == FieldType::Signed)
        return width;
    if (type == FieldType::Bits)
        return 0;
    if (type == FieldType::Group || count.kind != Count::Kind::Fixed)
        return -1;
    return int(count.number);
}

std::string Description::start() const
{
    std::string bytes;
    for (const Item& item : header) {
        if (item.kind != Item::Kind::Constant)
            break;
        bytes += item.bytes;
    }
    return bytes;
}

int Description::FindField(std::string_view name, const MessageSpec* message) const
{
    // The fields are kept in the order read: the frame's own first, then each message's in turn,
    // so a message's own are found without going through every other message's.
    const int own = message ? int(message - messages.data()) : -1;
    const auto before = [](const FieldSpec& field, int m) { return field.message < m; };
    const auto frameEnd = std::lower_bound(fields.begin(), fields.end(), 0, before);
    for (auto f = fields.begin(); f != frameEnd; ++f) {
        if (f->name == name)
            return int(f - fields.begin());
    }
    if (own < 0)
        return -1;
    for (auto f = std::lower_bound(frameEnd, fields.end(), own, before);
         f != fields.end() && f->message == own; ++f) {
        if (f->name == name)
            return int(f - fields.begin());
    }
    return -1;
}

int Description::FindMessage(std::string_view name) const
{
    for (std::size_t m = 0; m < messages.size(); ++m) {
        if (messages[m].name == name)
            return int(m);
    }
    return -1;
}
