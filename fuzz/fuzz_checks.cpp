// Check values on arbitrary bytes: each table-driven CRC gives what a plain bit-at-a-time one
// gives, a command completed with its value reads back as ok (and the finder names its check),
// and the logged text with the value inserted encodes to exactly the bytes sent.
#include "checks/CheckCatalogue.h"
#include "checks/CheckFinder.h"
#include "checks/CheckPlacement.h"
#include "checks/CheckValue.h"
#include "checks/CheckVerdict.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace
{

// A CRC as its parameters are usually published: the polynomial most significant bit first, the
// input bytes and the result mirrored for a reflected one.
struct Model {
    CheckKind kind;
    int width;
    std::uint32_t poly;
    std::uint32_t init;
    bool reflected;
    std::uint32_t xorOut;
};

constexpr Model Models[] = {
    {CheckKind::Crc16Modbus, 16, 0x8005, 0xFFFF, true, 0},
    {CheckKind::Crc16Ccitt, 16, 0x1021, 0xFFFF, false, 0},
    {CheckKind::Crc16Xmodem, 16, 0x1021, 0, false, 0},
    {CheckKind::Crc16Kermit, 16, 0x1021, 0, true, 0},
    {CheckKind::Crc16Osdp, 16, 0x1021, 0x1D0F, false, 0},
    {CheckKind::Crc32, 32, 0x04C11DB7, 0xFFFFFFFF, true, 0xFFFFFFFF},
};

std::uint32_t Mirror(std::uint32_t value, int bits)
{
    std::uint32_t mirrored = 0;
    for (int bit = 0; bit < bits; ++bit, value >>= 1)
        mirrored = (mirrored << 1) | (value & 1);
    return mirrored;
}

std::uint32_t ReferenceCrc(const Model& model, std::string_view bytes)
{
    const std::uint64_t top = std::uint64_t(1) << (model.width - 1);
    const std::uint64_t mask = (std::uint64_t(1) << model.width) - 1;
    std::uint64_t reg = model.init;
    for (const char c : bytes) {
        const std::uint32_t byte = static_cast<unsigned char>(c);
        reg ^= std::uint64_t(model.reflected ? Mirror(byte, 8) : byte) << (model.width - 8);
        for (int bit = 0; bit < 8; ++bit)
            reg = ((reg & top) ? (reg << 1) ^ model.poly : reg << 1) & mask;
    }
    const std::uint32_t out =
        model.reflected ? Mirror(std::uint32_t(reg), model.width) : std::uint32_t(reg);
    return out ^ model.xorOut;
}

void Expect(bool holds)
{
    if (!holds)
        std::abort();
}

void ByteChecksAgree(std::string_view bytes)
{
    unsigned sum = 0, x = 0;
    for (const char c : bytes) {
        sum += static_cast<unsigned char>(c);
        x ^= static_cast<unsigned char>(c);
    }
    Expect(CheckNumber(CheckKind::Xor, bytes) == x && CheckNumber(CheckKind::Bcc, bytes) == x);
    Expect(CheckNumber(CheckKind::Sum8, bytes) == (sum & 0xFF));
    Expect(CheckNumber(CheckKind::Lrc, bytes) == ((256 - (sum & 0xFF)) & 0xFF));
}

// Whether the command, completed with check, must read back as ok: bcc reads replies by their
// frames, so the command needs one and no STX after it; the others need a byte to cover.
bool ShouldVerify(const CheckEntry& check, std::string_view command)
{
    if (!CoversFrame(check.kind))
        return command.size() > TrailingEndLength(command);
    const std::optional<Frame> frame = FindFrame(command);
    return frame && command.find('\x02', frame->etx + 1) == std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const Model& model : Models)
        Expect(CheckNumber(model.kind, bytes) == ReferenceCrc(model, bytes));
    ByteChecksAgree(bytes);

    const auto catalogue = CheckCatalogue();
    const CheckEntry& chosen = catalogue[size ? data[0] % catalogue.size() : 0];
    for (const CheckEntry& check : catalogue) {
        // Any reply gets a verdict that can be told.
        Expect(!VerifyReply(check, bytes).Describe().empty());
        const ByteText placed = WithCheck(check, bytes);
        Expect(placed.size() == size + CheckValueSize(check));
        if (!ShouldVerify(check, bytes))
            continue;
        Expect(VerifyReply(check, placed).ok());
        if (&check == &chosen) {
            const std::string_view replies[] = {placed};
            Expect(std::ranges::count(FindChecks(replies).fits, &check) == 1);
        }
    }

    // The same bytes as command text, one character each: the logged line encodes to the bytes.
    std::u32string latin1;
    for (const char c : bytes)
        latin1 += char32_t(static_cast<unsigned char>(c));
    const CheckedCommand checked = EncodeCheckedCommand(chosen, latin1);
    const EncodedCommand shown = EncodeCommandText(checked.display);
    Expect(shown.ok() == checked.encoded.ok() && shown.bytes == checked.encoded.bytes);
    if (checked.encoded.ok() && !checked.encoded.bytes.empty()) {
        const EncodedCommand plain = EncodeCommandText(latin1);
        const ByteText expected =
            WithCheck(chosen, std::string_view(reinterpret_cast<const char*>(plain.bytes.data()),
                                               plain.bytes.size()));
        Expect(ByteText(checked.encoded.bytes.begin(), checked.encoded.bytes.end()) == expected);
    }
    return 0;
}
