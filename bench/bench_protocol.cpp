// Protocol figures: an OSDP line's bytes cut into frames (packets of a panel and its readers
// with 10 % noise bytes among them, fed 4 KiB at a time), and those frames decoded with their
// summaries built. Each figure is the best of five runs, per second of the thread's own CPU
// time, so that other work on the machine does not count.
#include "protocol/FrameComposer.h"
#include "protocol/FrameCutter.h"
#include "protocol/MessageDecoder.h"
#include "terminal/BuiltinProtocols.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <time.h>
#include <vector>

namespace
{

constexpr int Runs = 5;

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The packets of a busy line: polls and their ACKs most, then what readers report.
std::vector<ByteText> Packets(const std::shared_ptr<const Description>& osdp)
{
    const char* const commands[] = {"\x01\x60",
                                    "\x02\x60",
                                    "\x01\x61\x00",
                                    "\x01\x62\x00",
                                    "\x01\x69\x00\x00\x02\x05\x05\x01\x00\x0A\x00\x01\x00\x00"
                                    "\x02\x00",
                                    "\x01\x6A\x00\x02\x03\x03\x02"};
    const std::size_t sizes[] = {2, 2, 3, 3, 16, 7};
    const char* const replies[] = {"\x01\x40",
                                   "\x02\x40",
                                   "\x01\x45\x0A\x0B\x0C\x05\x01\x78"
                                   "\x56\x34\x12\x02\x03\x04",
                                   "\x01\x46\x01\x01\x08\x04\x04\x01\x08\x01\x00",
                                   "\x01\x50\x00\x00\x1A\x00\x01\x23\x45\x40",
                                   "\x01\x41\x04"};
    const std::size_t replySizes[] = {2, 2, 14, 11, 10, 3};
    std::vector<ByteText> packets;
    MessageDecoder decoder(osdp);
    for (int i = 0; i < 6; ++i) {
        ProtocolSession session(osdp);
        const Composed command =
            ComposeCommand(*osdp, session, std::string_view(commands[i], sizes[i]));
        packets.push_back(command.bytes);
        packets.push_back(ComposeReply(*osdp, decoder.Decode(command.bytes),
                                       std::string_view(replies[i], replySizes[i]))
                              .bytes);
    }
    return packets;
}

} // namespace

int main()
{
    const std::shared_ptr<const Description> osdp = BuiltinProtocols::Find(QStringLiteral("osdp"));
    const std::vector<ByteText> packets = Packets(osdp);
    std::mt19937 random(36);
    ByteText stream;
    std::size_t made = 0;
    while (stream.size() < (std::size_t(8) << 20)) {
        // Polls and ACKs four times in five; a noise byte for every nine of the packets'.
        const std::size_t pick = random() % 5 < 4 ? random() % 4 : 4 + random() % 8;
        const ByteText& packet = packets[pick % packets.size()];
        stream += packet;
        ++made;
        for (std::size_t n = 0; n < packet.size(); ++n) {
            if (random() % 9 == 0)
                stream += char(random() % 256);
        }
    }
    // What the cutter hands on is taken at once, as the link's reader would take it.
    double bestCut = 0;
    std::vector<ByteText> frames;
    for (int run = 0; run < Runs; ++run) {
        std::vector<CutPiece> pieces;
        std::size_t cut = 0;
        FrameCutter cutter(osdp);
        const double start = CpuSeconds();
        std::int64_t now = 0;
        for (std::size_t at = 0; at < stream.size(); at += 4096) {
            pieces.clear();
            cutter.Feed(std::string_view(stream).substr(at, 4096), ++now, pieces);
            for (CutPiece& piece : pieces) {
                if (piece.kind != CutPiece::Kind::Frame)
                    continue;
                ++cut;
                if (run == 0 && frames.size() < 200000)
                    frames.push_back(std::move(piece.bytes));
            }
        }
        bestCut = std::max(bestCut, double(stream.size()) / 1e6 / (CpuSeconds() - start));
        if (cut < made * 9 / 10)
            std::printf("error: %zu frames cut of %zu\n", cut, made);
    }
    double bestDecode = 0;
    std::size_t summaries = 0;
    for (int run = 0; run < Runs; ++run) {
        MessageDecoder decoder(osdp);
        const double start = CpuSeconds();
        for (const ByteText& frame : frames)
            summaries += decoder.Decode(frame).summary.size();
        bestDecode = std::max(bestDecode, double(frames.size()) / (CpuSeconds() - start));
    }
    if (summaries == 0)
        std::printf("error: no summary built\n");
    std::printf("frames_cut_mb_per_s: %.1f MB/s\n", bestCut);
    std::printf("frames_decode_per_s: %.0f frames/s\n", bestDecode);
}
