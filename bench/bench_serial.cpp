// The serial link measured end to end through the terminal controller, against a pseudo-terminal
// driven from a thread of its own as a device would be: reply latency from the device's first
// byte to its line in the log, a large random reply (1 MiB, its line also going to the capture
// file), and a long stream at 115200 baud. The log has the window's font and colours. Run
// headless (QT_QPA_PLATFORM=offscreen).
//   bench_serial [--stream-seconds N]
#include "BenchTerminal.h"

#include <QApplication>
#include <QFile>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    StallWatch stall;
    int streamSeconds = 60;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--stream-seconds")
            streamSeconds = std::max(1, std::atoi(argv[i + 1]));
    const QString captureFile = CaptureFile();
    QFile::remove(captureFile);
    // Serial over a pseudo-terminal, port 5, 115200 baud.
    PtyPair pty;
    qputenv("ACCESSTERM_COM5", pty.slavePath().toLocal8Bit());
    BenchTerminal t;
    t.fields.portIndex = 4;
    t.controller.Option2_Click();
    t.controller.Combo2_Click();
    if (!t.serial.IsOpen()) {
        std::fprintf(stderr, "the pseudo-terminal did not open: %s\n",
                     qPrintable(t.fields.messages.join(QLatin1Char(' '))));
        return 1;
    }
    const std::vector<double> serial = LatencyOver(t, nullptr, &pty, 50, 400);
    PrintLatency("serial_reply_latency_ms", serial);

    const std::string reply = RandomPayload(1 << 20);
    std::thread writer;
    PrintLargeReply("serial_reply_1mib",
                    MeasureLargeReply(
                        t, stall, reply,
                        [&] {
                            writer = std::thread(
                                [&] { WriteAll(pty.masterFd(), reply.data(), reply.size()); });
                        },
                        [&] { writer.join(); }),
                    false);
    t.controller.cmdClear_Click();

    // A stream paced at 115200 baud (11520 bytes a second), in 10 ms slices.
    const std::string stream = NumberedPayload(size_t(streamSeconds) * 11520);
    t.watcher.bytes.clear();
    std::thread device([&] {
        auto next = Clock::now();
        for (size_t at = 0; at < stream.size(); at += 115) {
            std::this_thread::sleep_until(next);
            WriteAll(pty.masterFd(), stream.data() + at, std::min<size_t>(115, stream.size() - at));
            next += std::chrono::milliseconds(10);
        }
    });
    const double cpuBefore = CpuMs(RUSAGE_THREAD);
    const double systemBefore = SystemMs(RUSAGE_THREAD);
    const auto wallBefore = Clock::now();
    stall.start();
    t.watcher.waitFor([&] { return t.watcher.bytes.size() >= stream.size(); },
                      streamSeconds * 1000 + 10000);
    const double cpu = CpuMs(RUSAGE_THREAD) - cpuBefore;
    const double system = SystemMs(RUSAGE_THREAD) - systemBefore;
    const double wall = MsBetween(wallBefore, Clock::now());
    const double streamStall = stall.longestMs();
    device.join();
    t.watcher.waitFor([] { return false; }, 700);
    std::printf("serial_stream_seconds: %d s\n", streamSeconds);
    std::printf("serial_stream_lost_bytes: %lld bytes\n", LostOrDoubled(stream, t.watcher.bytes));
    std::printf("serial_stream_cpu_percent: %.2f %%\n", 100.0 * cpu / wall);
    std::printf("serial_stream_cpu_system_percent: %.2f %%\n", 100.0 * system / wall);
    std::printf("serial_stream_stall_ms: %.1f ms\n", streamStall);
    QFile::remove(captureFile);
    return 0;
}
