#include "checks/CheckVerdict.h"

#include "checks/CheckPlacement.h"
#include "checks/CheckValue.h"
#include "notation/RenderReceivedData.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace
{

std::string HexPairs(std::string_view bytes)
{
    std::string text;
    for (const char c : bytes) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", unsigned(static_cast<unsigned char>(c)));
        text += pair;
    }
    return text;
}

bool Matches(const CheckEntry& check, std::string_view found, std::string_view expected)
{
    if (!check.hex)
        return found == expected;
    return std::ranges::equal(found, expected, [](char f, char e) {
        return std::toupper(static_cast<unsigned char>(f)) == static_cast<unsigned char>(e);
    });
}

CheckVerdict Judge(const CheckEntry& check, std::string_view found, std::string_view expected)
{
    if (Matches(check, found, expected))
        return {check.name, CheckVerdict::Outcome::Ok, {}, {}};
    if (check.hex)
        return {check.name, CheckVerdict::Outcome::Failed, RenderReceivedData(found),
                std::string(expected)};
    return {check.name, CheckVerdict::Outcome::Failed, HexPairs(found), HexPairs(expected)};
}

CheckVerdict VerifyFrames(const CheckEntry& check, std::string_view reply)
{
    const std::size_t size = CheckValueSize(check);
    const bool withStx = check.kind == CheckKind::BccWithStx;
    CheckVerdict verdict{check.name, CheckVerdict::Outcome::NotChecked, {}, {}};
    std::size_t from = 0;
    while (const std::optional<Frame> frame = FindFrame(reply, from)) {
        const std::size_t at = frame->etx + 1;
        if (reply.size() - at < size)
            break;
        const std::size_t begin = withStx ? frame->stx : frame->stx + 1;
        verdict = Judge(check, reply.substr(at, size),
                        CheckValue(check, reply.substr(begin, at - begin)));
        if (!verdict.ok())
            return verdict;
        from = at + size;
    }
    return verdict;
}

CheckVerdict VerifyAtEnd(const CheckEntry& check, std::string_view reply)
{
    const std::size_t size = CheckValueSize(check);
    // A value in bytes stands at the very end; one in hex characters before a trailing CR/LF,
    // and as its own last bytes may be CR or LF it may also end further on. The verdict
    // otherwise speaks of the place before the trailing CR/LF.
    const std::size_t bodyEnd = reply.size() - (check.hex ? TrailingEndLength(reply) : 0);
    CheckVerdict verdict{check.name, CheckVerdict::Outcome::NotChecked, {}, {}};
    for (std::size_t end = bodyEnd; end <= reply.size(); ++end) {
        if (end <= size)
            continue;
        const CheckVerdict here = Judge(check, reply.substr(end - size, size),
                                        CheckValue(check, reply.substr(0, end - size)));
        if (here.ok())
            return here;
        if (end == bodyEnd)
            verdict = here;
    }
    return verdict;
}

} // namespace

std::string CheckVerdict::Describe() const
{
    std::string text(name);
    switch (outcome) {
    case Outcome::Ok:
        return text + " ok";
    case Outcome::Failed:
        return text + " " + found + ", expected " + expected;
    case Outcome::NotChecked:
        break;
    }
    return text + " not checked";
}

CheckVerdict VerifyValue(const CheckEntry& check, std::string_view found, std::string_view covered)
{
    return Judge(check, found, CheckValue(check, covered));
}

CheckVerdict VerifyReply(const CheckEntry& check, std::string_view reply)
{
    if (CoversFrame(check.kind))
        return VerifyFrames(check, reply);
    return VerifyAtEnd(check, reply);
}
