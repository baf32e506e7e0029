#include "protocol/ProtocolDescription.h"

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
    const int own = message ? int(message - messages.data()) : -1;
    for (std::size_t f = 0; f < fields.size(); ++f) {
        if (fields[f].name == name && (fields[f].message == -1 || fields[f].message == own))
            return int(f);
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
