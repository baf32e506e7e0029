#include "checks/CheckFinder.h"

#include "checks/CheckVerdict.h"

#include <algorithm>
#include <array>

namespace
{

// Some controllers start the XOR at the STX itself; such replies are told apart by these.
constexpr std::array<CheckEntry, 2> StxIncluded = {{
    {"bcc (STX included)", "XOR from STX through ETX", CheckKind::BccWithStx, false},
    {"bcc-hex (STX included)", "XOR from STX through ETX as upper-case hex characters",
     CheckKind::BccWithStx, true},
}};

} // namespace

CheckFinding FindChecks(std::span<const std::string_view> replies)
{
    CheckFinding finding;
    std::vector<std::string_view> searched;
    for (std::size_t i = 0; i < replies.size(); ++i) {
        if (replies[i].size() > MaxSearchedReply)
            finding.tooLong.push_back(i);
        else
            searched.push_back(replies[i]);
    }
    if (searched.empty())
        return finding;
    const auto tryCheck = [&](const CheckEntry& check) {
        if (std::ranges::all_of(
                searched, [&](std::string_view reply) { return VerifyReply(check, reply).ok(); }))
            finding.fits.push_back(&check);
    };
    std::ranges::for_each(CheckCatalogue(), tryCheck);
    std::ranges::for_each(StxIncluded, tryCheck);
    return finding;
}
