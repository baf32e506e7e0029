// The TCP link measured end to end through the terminal controller, against a loopback peer on a
// thread of its own: the settle wait's processor cost, reply latency from the peer's first byte to
// its line in the log, a 1 MiB burst, large random replies (1 MiB and 16 MiB), and repainting the
// log scrolled to the end of a long line. The log has the window's font and colours. Run headless
// (QT_QPA_PLATFORM=offscreen).
//   bench_tcp
#include "BenchTerminal.h"

#include <QApplication>
#include <QScrollBar>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    StallWatch stall;
    // Connect, then 20 replies 400 ms apart for the processor cost, 50 for latency.
    BenchTerminal t;
    TcpPeer peer;
    t.fields.host = QStringLiteral("127.0.0.1");
    t.fields.port = QString::number(peer.port);
    t.controller.CmdConnect_Click();
    t.watcher.waitFor([&] { return t.log.lines().contains("Connect Succeed"); }, 5000);
    t.watcher.waitFor([&] { return peer.accepted.load(); }, 5000);

    const double cpuBefore = CpuMs(RUSAGE_SELF);
    const auto wallBefore = Clock::now();
    LatencyOver(t, &peer, nullptr, 20, 400);
    std::printf("settle_cpu_percent: %.2f %%\n",
                100.0 * (CpuMs(RUSAGE_SELF) - cpuBefore) / MsBetween(wallBefore, Clock::now()));

    const std::vector<double> tcp = LatencyOver(t, &peer, nullptr, 50, 400);
    PrintLatency("tcp_reply_latency_ms", tcp);

    // A 1 MiB burst in one write: every byte once, in order, and the time to the last one.
    const std::string burst = NumberedPayload(1 << 20);
    t.watcher.bytes.clear();
    Clock::time_point start;
    peer.run([&](int fd) {
        start = Clock::now();
        WriteAll(fd, burst.data(), burst.size());
    });
    t.watcher.waitFor([&] { return t.watcher.bytes.size() >= burst.size(); }, 60000);
    // Anything doubled would still be on its way: give it one more settle period to show.
    const auto last = t.watcher.lastReply;
    t.watcher.waitFor([] { return false; }, 700);
    peer.join();
    std::printf("tcp_burst_1mib_lost_bytes: %lld bytes\n", LostOrDoubled(burst, t.watcher.bytes));
    std::printf("tcp_burst_1mib_ms: %.0f ms\n", MsBetween(start, last));

    // Large random replies in one write each.
    const auto tcpReply = [&](const std::string& payload) {
        return MeasureLargeReply(
            t, stall, payload,
            [&] { peer.run([&](int fd) { WriteAll(fd, payload.data(), payload.size()); }); },
            [&] { peer.join(); });
    };
    PrintLargeReply("tcp_reply_1mib", tcpReply(RandomPayload(1 << 20)), false);

    // The 1 MiB reply's line scrolled to its right end and repainted.
    QScrollBar* bar = t.log.horizontalScrollBar();
    double paintMs = 0;
    for (int i = 0; i < 10; ++i) {
        bar->setValue(i % 2 ? bar->maximum() - 30 : bar->maximum());
        const auto paintStart = Clock::now();
        t.log.viewport()->repaint();
        paintMs = std::max(paintMs, MsBetween(paintStart, Clock::now()));
    }
    std::printf("log_scroll_end_paint_ms: %.1f ms\n", paintMs);
    bar->setValue(0);

    const LargeReply big = tcpReply(RandomPayload(16 << 20));
    PrintLargeReply("tcp_reply_16mib", big, true);
    return 0;
}
