// The window reading an OSDP line: a panel polling a reader every 10 ms at 115200 baud for 30 s
// (POLL and its ACK, both heard, as on a tap), written from a thread of its own into a
// pseudo-terminal, the window with OSDP chosen, every packet on a line of its own:
//   osdp_line_cpu_percent   the window thread's processor time over the stream's wall time;
//   osdp_line_cpu_kernel_percent  the part of it spent in the kernel, on its reads and waits;
//   osdp_line_stall_ms      the window thread's longest stall meanwhile;
//   osdp_line_lost_packets  packets that did not come as a line of their own with a summary.
// Run headless (QT_QPA_PLATFORM=offscreen).
//   bench_osdp_line [--stream-seconds N]
#include "BenchTerminal.h"

#include "app/ProtocolControl.h"
#include "app/TerminalWindow.h"
#include "console/EventLogModel.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QRadioButton>
#include <QTimer>

namespace
{

// A POLL of PD 1 and the reader's ACK, sequence number 0 both.
const std::string kPair = std::string("\xFF\x53\x01\x08\x00\x04\x60\xBA\x00", 9) +
                          std::string("\x53\x81\x08\x00\x04\x40\x08\x06", 8);

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    StallWatch stall;
    int seconds = 30;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--stream-seconds")
            seconds = std::max(1, std::atoi(argv[i + 1]));
    QFile::remove(CaptureFile());
    PtyPair pty;
    qputenv("ACCESSTERM_COM5", pty.slavePath().toLocal8Bit());
    TerminalWindow window;
    window.show();
    window.findChild<QComboBox*>(QStringLiteral("Combo2"))
        ->setCurrentText(QStringLiteral("115200"));
    window.findChild<QComboBox*>(QStringLiteral("CmbComPort"))->setCurrentIndex(4);
    window.findChild<QRadioButton*>(QStringLiteral("Option2"))->click();
    window.controller().Combo2_Click();
    if (!window.serialLink().IsOpen()) {
        std::fprintf(stderr, "the pseudo-terminal did not open\n");
        return 1;
    }
    window.protocolControl().Choose(QStringLiteral("osdp"));
    EventLog& log = window.LB();
    // Warmed up on a few packets first, until they are painted: the window's first paint, the
    // fonts it loads and the log's measures of them are what it costs to start (bench_startup),
    // not what reading the line costs.
    const int warmUp = log.count() + 10;
    for (int n = 0; n < 5; ++n)
        WriteAll(pty.masterFd(), kPair.data(), kPair.size());
    QEventLoop settle;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &settle, [&] {
        if (log.count() >= warmUp && log.logModel().rowCount() == log.count())
            settle.quit();
    });
    look.start(10);
    settle.exec();
    look.stop();
    window.repaint();
    const int first = log.count();
    const int pairs = seconds * 100;

    std::thread panel([&] {
        auto next = Clock::now();
        for (int n = 0; n < pairs; ++n) {
            std::this_thread::sleep_until(next);
            WriteAll(pty.masterFd(), kPair.data(), 9);
            WriteAll(pty.masterFd(), kPair.data() + 9, 8);
            next += std::chrono::milliseconds(10);
        }
    });
    const auto done = [&] { return log.count() - first >= 2 * pairs; };
    const double cpuBefore = CpuMs(RUSAGE_THREAD);
    const double kernelBefore = SystemMs(RUSAGE_THREAD);
    const auto wallBefore = Clock::now();
    stall.start();
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || MsBetween(wallBefore, Clock::now()) > seconds * 1000.0 + 10000)
            loop.quit();
    });
    tick.start(100);
    loop.exec();
    const double cpu = CpuMs(RUSAGE_THREAD) - cpuBefore;
    const double kernel = SystemMs(RUSAGE_THREAD) - kernelBefore;
    const double wall = MsBetween(wallBefore, Clock::now());
    const double stallMs = stall.longestMs();
    panel.join();

    int good = 0;
    for (int row = first; row < log.count(); ++row) {
        const LogLine& line = log.record(row);
        const bool poll =
            line.byteCount() == 9 && line.aside().startsWith(QStringLiteral("osdp_POLL"));
        const bool ack =
            line.byteCount() == 8 && line.aside().startsWith(QStringLiteral("osdp_ACK"));
        good += poll || ack;
    }
    std::printf("osdp_line_seconds: %d s\n", seconds);
    std::printf("osdp_line_lost_packets: %d packets\n", 2 * pairs - good);
    std::printf("osdp_line_cpu_percent: %.2f %%\n", 100.0 * cpu / wall);
    std::printf("osdp_line_cpu_kernel_percent: %.2f %%\n", 100.0 * kernel / wall);
    std::printf("osdp_line_stall_ms: %.1f ms\n", stallMs);
    QFile::remove(CaptureFile());
    return 0;
}
