#include "checks/CheckValue.h"

#include "checks/TableCrc.h"

#include <functional>
#include <numeric>

namespace
{

// Polynomials in register bit order: 0x8005 and 0x1021 reversed for the reflected CRCs.
using Crc16Modbus = TableCrc<std::uint16_t, 0xA001, true>;
using Crc16Kermit = TableCrc<std::uint16_t, 0x8408, true>;
using Crc16 = TableCrc<std::uint16_t, 0x1021, false>;
using Crc32 = TableCrc<std::uint32_t, 0xEDB88320, true>;

unsigned ByteSum(std::string_view bytes)
{
    return std::accumulate(bytes.begin(), bytes.end(), 0u, [](unsigned sum, char c) {
        return sum + static_cast<unsigned char>(c);
    });
}

unsigned ByteXor(std::string_view bytes)
{
    return std::accumulate(bytes.begin(), bytes.end(), 0u,
                           [](unsigned x, char c) { return x ^ static_cast<unsigned char>(c); });
}

std::size_t NumberSize(CheckKind kind)
{
    switch (kind) {
    case CheckKind::Crc16Modbus:
    case CheckKind::Crc16Ccitt:
    case CheckKind::Crc16Xmodem:
    case CheckKind::Crc16Kermit:
    case CheckKind::Crc16Osdp:
        return 2;
    case CheckKind::Crc32:
        return 4;
    default:
        return 1;
    }
}

bool HighByteFirst(CheckKind kind)
{
    return kind == CheckKind::Crc16Ccitt || kind == CheckKind::Crc16Xmodem;
}

} // namespace

std::uint32_t CheckNumber(CheckKind kind, std::string_view bytes)
{
    switch (kind) {
    case CheckKind::Bcc:
    case CheckKind::BccWithStx:
    case CheckKind::Xor:
        return ByteXor(bytes);
    case CheckKind::Sum8:
        return ByteSum(bytes) & 0xFFu;
    case CheckKind::Lrc:
        return (0u - ByteSum(bytes)) & 0xFFu;
    case CheckKind::Crc16Modbus:
        return Crc16Modbus::Update(0xFFFF, bytes);
    case CheckKind::Crc16Ccitt:
        return Crc16::Update(0xFFFF, bytes);
    case CheckKind::Crc16Xmodem:
        return Crc16::Update(0, bytes);
    case CheckKind::Crc16Kermit:
        return Crc16Kermit::Update(0, bytes);
    case CheckKind::Crc16Osdp:
        return Crc16::Update(0x1D0F, bytes);
    case CheckKind::Crc32:
        return ~Crc32::Update(0xFFFFFFFFu, bytes);
    }
    return 0;
}

ByteText CheckValue(const CheckEntry& check, std::string_view covered)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    const std::uint32_t number = CheckNumber(check.kind, covered);
    const std::size_t size = NumberSize(check.kind);
    ByteText value;
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t shift = 8 * (HighByteFirst(check.kind) ? size - 1 - i : i);
        const unsigned byte = (number >> shift) & 0xFFu;
        if (check.hex) {
            value += Digits[byte >> 4];
            value += Digits[byte & 0xFu];
        } else {
            value += char(byte);
        }
    }
    return value;
}

std::size_t CheckValueSize(const CheckEntry& check)
{
    return NumberSize(check.kind) * (check.hex ? 2 : 1);
}
