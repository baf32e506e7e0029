// Encode and render throughput on 1 MiB and 64 MiB inputs, one figure a line.
#include "notation/EncodeCommandText.h"
#include "notation/RenderReceivedData.h"

#include <chrono>
#include <cstdio>
#include <random>

namespace
{

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Measure(std::size_t size, const char* label, bool mainFigure)
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
    auto start = std::chrono::steady_clock::now();
    const EncodedCommand encoded = EncodeCommandText(command);
    const double encodeRate = mb / Seconds(start);
    start = std::chrono::steady_clock::now();
    const std::string rendered = RenderReceivedData(reply);
    const double renderRate = mb / Seconds(start);
    if (encoded.bytes.empty() || rendered.empty())
        std::printf("error: nothing produced\n");
    std::printf("encode_%s_mb_per_s: %.1f MB/s\n", label, encodeRate);
    std::printf("render_%s_mb_per_s: %.1f MB/s\n", label, renderRate);
    if (mainFigure) {
        std::printf("encode_mb_per_s: %.1f MB/s\n", encodeRate);
        std::printf("render_mb_per_s: %.1f MB/s\n", renderRate);
    }
}

} // namespace

int main()
{
    Measure(std::size_t(1) << 20, "1mib", false);
    Measure(std::size_t(64) << 20, "64mib", true);
}
