#include "notation/RenderReceivedData.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace
{

bool ShownAsToken(unsigned char c)
{
    return c <= 32 || c == 127;
}

// What each byte becomes, built once for each kind of character: four characters to copy (a
// token, or the byte itself followed by filler) and how many of them count. Copying all four and
// advancing by the length keeps the loop free of a branch per byte, which random replies would
// mispredict.
template <typename Char> struct RenderTable {
    std::array<std::array<Char, 4>, 256> text{};
    std::array<std::uint8_t, 256> length{};
};

template <typename Char> const RenderTable<Char>& Table()
{
    static const RenderTable<Char> table = [] {
        static constexpr char digits[] = "0123456789ABCDEF";
        RenderTable<Char> t;
        for (int c = 0; c < 256; ++c) {
            if (ShownAsToken((unsigned char)c)) {
                t.text[c] = {Char('<'), Char(digits[c >> 4]), Char(digits[c & 15]), Char('>')};
                t.length[c] = 4;
            } else {
                // The code page's character for the byte: its value, in either kind.
                t.text[c] = {Char(std::uint8_t(c)), 0, 0, 0};
                t.length[c] = 1;
            }
        }
        return t;
    }();
    return table;
}

// Writes the rendering of in[0, n) to out, which has room for its length plus 3 characters of
// slack for the filler of the last entry; returns the length.
template <typename Char> std::size_t RenderInto(const unsigned char* in, std::size_t n, Char* out)
{
    const RenderTable<Char>& table = Table<Char>();
    Char* at = out;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = in[i];
        std::memcpy(at, table.text[c].data(), sizeof table.text[c]);
        at += table.length[c];
    }
    return std::size_t(at - out);
}

const unsigned char* Bytes(std::string_view reply)
{
    return reinterpret_cast<const unsigned char*>(reply.data());
}

} // namespace

std::size_t RenderedLength(std::string_view reply)
{
    std::size_t tokens = 0;
    for (const unsigned char c : reply)
        tokens += std::size_t(ShownAsToken(c));
    return reply.size() + 3 * tokens;
}

std::size_t RenderReceivedDataInto(std::string_view reply, char16_t* out)
{
    return RenderInto(Bytes(reply), reply.size(), out);
}

std::string RenderReceivedData(std::string_view reply)
{
    const auto* in = Bytes(reply);
    const std::size_t n = reply.size();
    const std::size_t length = RenderedLength(reply);
    std::string result;
#if defined(__cpp_lib_string_resize_and_overwrite)
    result.resize_and_overwrite(length + 3,
                                [&](char* out, std::size_t) { return RenderInto(in, n, out); });
#else
    result.resize(length + 3);
    result.resize(RenderInto(in, n, result.data()));
#endif
    return result;
}
