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

// What each byte becomes, built once: four characters to copy (a token, or the byte itself
// followed by filler) and how many of them count. Copying all four and advancing by the length
// keeps the loop free of a branch per byte, which random replies would mispredict.
struct RenderTable {
    std::array<std::array<char, 4>, 256> text{};
    std::array<std::uint8_t, 256> length{};
};

const RenderTable& Table()
{
    static const RenderTable table = [] {
        static constexpr char digits[] = "0123456789ABCDEF";
        RenderTable t;
        for (int c = 0; c < 256; ++c) {
            if (ShownAsToken((unsigned char)c)) {
                t.text[c] = {'<', digits[c >> 4], digits[c & 15], '>'};
                t.length[c] = 4;
            } else {
                t.text[c] = {char(c), 0, 0, 0};
                t.length[c] = 1;
            }
        }
        return t;
    }();
    return table;
}

// The rendered length, counted first so the result is allocated exactly once.
std::size_t RenderedLength(const unsigned char* in, std::size_t n)
{
    std::size_t tokens = 0;
    for (std::size_t i = 0; i < n; ++i)
        tokens += std::size_t(ShownAsToken(in[i]));
    return n + 3 * tokens;
}

// Writes the rendering of in[0, n) to out, which has room for its length plus 3 bytes of slack
// for the filler of the last entry; returns the length.
std::size_t RenderInto(const unsigned char* in, std::size_t n, char* out)
{
    const RenderTable& table = Table();
    char* at = out;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = in[i];
        std::memcpy(at, table.text[c].data(), 4);
        at += table.length[c];
    }
    return std::size_t(at - out);
}

} // namespace

std::string RenderReceivedData(std::string_view reply)
{
    const auto* in = reinterpret_cast<const unsigned char*>(reply.data());
    const std::size_t n = reply.size();
    const std::size_t length = RenderedLength(in, n);
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
