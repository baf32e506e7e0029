#include "checks/CheckValue.h"

#include "checks/TableCrc.h"

#include <cctype>
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
    RunningCheck check(kind);
    check.Add(bytes);
    return check.Number();
}

RunningCheck::RunningCheck(CheckKind kind) : m_kind(kind)
{
    switch (kind) {
    case CheckKind::Crc16Modbus:
    case CheckKind::Crc16Ccitt:
        m_register = 0xFFFF;
        break;
    case CheckKind::Crc16Osdp:
        m_register = 0x1D0F;
        break;
    case CheckKind::Crc32:
        m_register = 0xFFFFFFFFu;
        break;
    default:
        m_register = 0;
        break;
    }
}

void RunningCheck::Add(std::string_view bytes)
{
    switch (m_kind) {
    case CheckKind::Bcc:
    case CheckKind::BccWithStx:
    case CheckKind::Xor:
        m_register ^= ByteXor(bytes);
        break;
    case CheckKind::Sum8:
    case CheckKind::Lrc:
        m_register += ByteSum(bytes);
        break;
    case CheckKind::Crc16Modbus:
        m_register = Crc16Modbus::Update(std::uint16_t(m_register), bytes);
        break;
    case CheckKind::Crc16Ccitt:
    case CheckKind::Crc16Xmodem:
    case CheckKind::Crc16Osdp:
        m_register = Crc16::Update(std::uint16_t(m_register), bytes);
        break;
    case CheckKind::Crc16Kermit:
        m_register = Crc16Kermit::Update(std::uint16_t(m_register), bytes);
        break;
    case CheckKind::Crc32:
        m_register = Crc32::Update(m_register, bytes);
        break;
    }
}

std::uint32_t RunningCheck::Number() const
{
    switch (m_kind) {
    case CheckKind::Sum8:
        return m_register & 0xFFu;
    case CheckKind::Lrc:
        return (0u - m_register) & 0xFFu;
    case CheckKind::Crc32:
        return ~m_register;
    default:
        return m_register;
    }
}

ByteText CheckValue(const CheckEntry& check, std::string_view covered)
{
    return CheckValueOf(check, CheckNumber(check.kind, covered));
}

ByteText CheckValueOf(const CheckEntry& check, std::uint32_t number)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
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

bool IsCheckValueOf(const CheckEntry& check, std::string_view found, std::uint32_t number)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    const std::size_t size = NumberSize(check.kind);
    if (found.size() != CheckValueSize(check))
        return false;
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t shift = 8 * (HighByteFirst(check.kind) ? size - 1 - i : i);
        const unsigned byte = (number >> shift) & 0xFFu;
        const bool same =
            check.hex
                ? std::toupper(static_cast<unsigned char>(found[2 * i])) == Digits[byte >> 4] &&
                      std::toupper(static_cast<unsigned char>(found[2 * i + 1])) ==
                          Digits[byte & 0xFu]
                : static_cast<unsigned char>(found[i]) == byte;
        if (!same)
            return false;
    }
    return true;
}

std::size_t CheckValueSize(const CheckEntry& check)
{
    return NumberSize(check.kind) * (check.hex ? 2 : 1);
}
