#include "notation/RenderReceivedData.h"

#include "notation/ZeroPad.h"

#include <array>
#include <cstdio>

namespace
{

bool ShownAsToken(unsigned char c)
{
    return c <= 32 || c == 127;
}

// The token text of every byte shown as a token, built once so rendering is a lookup per byte.
const std::array<std::string, 256>& Tokens()
{
    static const std::array<std::string, 256> tokens = [] {
        std::array<std::string, 256> t;
        for (int c = 0; c < 256; ++c) {
            if (!ShownAsToken((unsigned char)c))
                continue;
            char hex[4];
            std::snprintf(hex, sizeof hex, "%X", unsigned(c));
            const std::string digits = ZeroPad(std::string_view(hex), 2);
            char token[8];
            std::snprintf(token, sizeof token, "<%s>", digits.c_str());
            t[c] = token;
        }
        return t;
    }();
    return tokens;
}

} // namespace

std::string RenderReceivedData(const ByteText& reply)
{
    const auto& tokens = Tokens();
    std::string result;
    result.reserve(reply.size() + reply.size() / 2);
    for (const char ch : reply) {
        const auto c = (unsigned char)ch;
        if (ShownAsToken(c))
            result.append(tokens[c].data(), 4);
        else
            result += ch;
    }
    return result;
}
