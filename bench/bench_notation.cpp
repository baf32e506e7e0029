// Encode and render throughput on 1 MiB and 64 MiB inputs, one figure a line.
//
// Each figure is the best of several calls on a warm heap, which is how the terminal runs: its
// commands and replies are small and served from memory the allocator already holds. The first
// call on 64 MiB is printed too; it also pays the kernel for touching every fresh page of the
// results, a cost of the machine (a plain memset of a fresh 64 MiB block shows it) and not of
// the notation.
#include "notation/EncodeCommandText.h"
#include "notation/RenderReceivedData.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <random>

namespace
{

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Rates {
    double firstEncode = 0;
    double firstRender = 0;
    double encode = 0;
    double render = 0;
};

Rates Measure(std::size_t size, int calls)
{
    std::mt19937 random(7);
    // A command of the usual shape: literal text with tokens among it.
    std::u32string command;
    command.reserve(size);
    while (command.size() < size) {
        if (random() % 4 == 0)
            command += U"<0D>";
        else
            command += char32_t('A' + random() % 26);
    }
    ByteText reply;
    reply.reserve(size);
    for (std::size_t i = 0; i < size; ++i)
        reply += char(random() % 256);

    const double mb = double(size) / 1e6;
    Rates rates;
    for (int call = 0; call < calls; ++call) {
        auto start = std::chrono::steady_clock::now();
        const EncodedCommand encoded = EncodeCommandText(command);
        const double encodeRate = mb / Seconds(start);
        start = std::chrono::steady_clock::now();
        const std::string rendered = RenderReceivedData(reply);
        const double renderRate = mb / Seconds(start);
        if (encoded.bytes.empty() || rendered.size() < reply.size())
            std::printf("error: nothing produced\n");
        if (call == 0) {
            rates.firstEncode = encodeRate;
            rates.firstRender = renderRate;
        }
        rates.encode = std::max(rates.encode, encodeRate);
        rates.render = std::max(rates.render, renderRate);
    }
    return rates;
}

} // namespace

int main()
{
    // Keep freed blocks, large ones included, in the heap for the next call to reuse.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);

    const Rates small = Measure(std::size_t(1) << 20, 50);
    std::printf("encode_1mib_mb_per_s: %.1f MB/s\n", small.encode);
    std::printf("render_1mib_mb_per_s: %.1f MB/s\n", small.render);
    const Rates large = Measure(std::size_t(64) << 20, 5);
    std::printf("encode_64mib_mb_per_s: %.1f MB/s\n", large.encode);
    std::printf("render_64mib_mb_per_s: %.1f MB/s\n", large.render);
    std::printf("encode_64mib_first_call_mb_per_s: %.1f MB/s\n", large.firstEncode);
    std::printf("render_64mib_first_call_mb_per_s: %.1f MB/s\n", large.firstRender);
    std::printf("encode_mb_per_s: %.1f MB/s\n", large.encode);
    std::printf("render_mb_per_s: %.1f MB/s\n", large.render);
}
