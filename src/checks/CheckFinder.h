#pragma once

#include "checks/CheckCatalogue.h"

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

// Replies longer than this are left out of the search.
inline constexpr std::size_t MaxSearchedReply = 64 * 1024;

struct CheckFinding {
    // The checks whose value is found where it goes, and correct, in every reply searched: in
    // catalogue order, then "bcc (STX included)" and "bcc-hex (STX included)".
    std::vector<const CheckEntry*> fits;
    // The indexes of the replies over MaxSearchedReply, which were not searched.
    std::vector<std::size_t> tooLong;
};

// Which check values the replies carry. Nothing fits when no reply is searched.
CheckFinding FindChecks(std::span<const std::string_view> replies);
