// Check value speed: two CRCs over 1 MiB, and the finder over four 64 KiB replies. Each figure is
// the best of five runs.
#include "checks/CheckCatalogue.h"
#include "checks/CheckFinder.h"
#include "checks/CheckPlacement.h"
#include "checks/CheckValue.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace
{

constexpr int Runs = 5;

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

ByteText RandomBytes(std::size_t size, std::mt19937& random)
{
    ByteText bytes(size, '\0');
    std::ranges::generate(bytes, [&] { return char(random() % 256); });
    return bytes;
}

double CrcRate(CheckKind kind, const ByteText& data)
{
    double best = 0;
    std::uint32_t seen = 0;
    for (int run = 0; run < Runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const std::uint32_t value = CheckNumber(kind, data);
        best = std::max(best, double(data.size()) / 1e6 / Seconds(start));
        if (run > 0 && value != seen)
            std::printf("error: the CRC changed between runs\n");
        seen = value;
    }
    return best;
}

// Four replies of 64 KiB that end in CR LF and a CRC-16/MODBUS after it, so that one check
// survives all four and the search cannot stop at the first reply.
double FindMilliseconds()
{
    std::mt19937 random(7);
    const CheckEntry& modbus = *FindCheck("crc16-modbus");
    std::vector<ByteText> replies;
    for (int i = 0; i < 4; ++i)
        replies.push_back(WithCheck(modbus, RandomBytes(MaxSearchedReply - 4, random) + "\r\n"));
    const std::vector<std::string_view> views(replies.begin(), replies.end());
    double best = 1e9;
    for (int run = 0; run < Runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const CheckFinding finding = FindChecks(views);
        best = std::min(best, Seconds(start) * 1e3);
        if (std::ranges::count(finding.fits, &modbus) != 1 || !finding.tooLong.empty())
            std::printf("error: the finder missed crc16-modbus\n");
    }
    return best;
}

} // namespace

int main()
{
    std::mt19937 random(1);
    const ByteText data = RandomBytes(std::size_t(1) << 20, random);
    std::printf("checksum_crc16_modbus_mb_per_s: %.1f MB/s\n",
                CrcRate(CheckKind::Crc16Modbus, data));
    std::printf("checksum_crc16_ccitt_mb_per_s: %.1f MB/s\n", CrcRate(CheckKind::Crc16Ccitt, data));
    std::printf("checksum_find_64kib_ms: %.2f ms\n", FindMilliseconds());
}
