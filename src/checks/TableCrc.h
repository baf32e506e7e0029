#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// A CRC register of 16 or 32 bits advanced eight bytes at a time. Table k holds what a byte
// followed by k zero bytes does to an empty register, so eight bytes fold in through eight
// look-ups that do not wait on each other; the register itself enters as the first bytes of the
// block. All tables are built at compile time. Poly is given in the register's own bit order, that
// is bit-reversed for a reflected CRC. Initial value and final XOR are the caller's part.
template <typename Reg, Reg Poly, bool Reflected> class TableCrc
{
public:
    static Reg Update(Reg reg, std::string_view bytes)
    {
        const auto* at = reinterpret_cast<const unsigned char*>(bytes.data());
        std::size_t left = bytes.size();
        for (; left >= 8; left -= 8, at += 8) {
            Reg next = 0;
            for (int j = 0; j < 8; ++j) {
                const unsigned in = j < Bytes ? at[j] ^ RegisterByte(reg, j) : at[j];
                next ^= Tables[7 - j][in];
            }
            reg = next;
        }
        for (; left > 0; --left)
            reg = Step(Tables[0], reg, *at++);
        return reg;
    }

private:
    static constexpr int Bytes = int(sizeof(Reg));
    static constexpr int Width = 8 * Bytes;
    using Table = std::array<Reg, 256>;

    // The register byte that meets data byte j: from the low end when reflected, else the high.
    static constexpr unsigned RegisterByte(Reg reg, int j)
    {
        return Reflected ? (reg >> (8 * j)) & 0xFFu : (reg >> (Width - 8 - 8 * j)) & 0xFFu;
    }

    static constexpr Reg Step(const Table& table, Reg reg, unsigned byte)
    {
        if constexpr (Reflected)
            return Reg(reg >> 8) ^ table[(reg ^ byte) & 0xFFu];
        else
            return Reg(reg << 8) ^ table[((reg >> (Width - 8)) ^ byte) & 0xFFu];
    }

    static constexpr std::array<Table, 8> Build()
    {
        std::array<Table, 8> tables{};
        for (unsigned byte = 0; byte < 256; ++byte) {
            Reg reg = Reflected ? Reg(byte) : Reg(byte << (Width - 8));
            for (int bit = 0; bit < 8; ++bit) {
                if constexpr (Reflected)
                    reg = (reg & 1u) ? Reg((reg >> 1) ^ Poly) : Reg(reg >> 1);
                else
                    reg = (reg >> (Width - 1)) ? Reg((reg << 1) ^ Poly) : Reg(reg << 1);
            }
            tables[0][byte] = reg;
        }
        for (int k = 1; k < 8; ++k)
            for (unsigned byte = 0; byte < 256; ++byte)
                tables[k][byte] = Step(tables[0], tables[k - 1][byte], 0);
        return tables;
    }

    static constexpr std::array<Table, 8> Tables = Build();
};
