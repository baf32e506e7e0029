// A repeat in the window, every 10 ms for 1,000 sends over loopback TCP, against a peer on a
// thread of its own that answers each command with 64 bytes, their last an XOR check value, but
// leaves every tenth unanswered and spoils every seventh's check value; the verdict's counts must
// be what the peer did:
//   repeat_10ms_jitter_p50_ms, _p99_ms  how far from the plan each command reached the peer (the
//                            first arrival, then one every 10 ms), median and 99th percentile;
//   repeat_10ms_skipped      the slots the repeat skipped;
//   repeat_10ms_stall_ms     the window thread's longest stall while repeating;
//   repeat_10ms_cpu_percent  the window thread's processor time over the repeat's wall time;
//   repeat_10ms_cpu_kernel_percent  the part of it spent in the kernel, on its sends, reads and
//   waits.
// Run headless (QT_QPA_PLATFORM=offscreen).
//   bench_repeat
#include "ProcessFigures.h"
#include "StallWatch.h"
#include "TcpPeer.h"

#include "app/RepeatControl.h"
#include "app/TerminalWindow.h"
#include "checks/CheckCatalogue.h"
#include "console/EventLog.h"
#include "console/TerminalController.h"
#include "terminal/CheckChoice.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace
{

constexpr int kSends = 1000;
constexpr int kEveryMs = 10;
const char kCommand[] = "AB"; // three bytes with its check value

// Runs the event loop until done() holds, looking every 20 ms, or the time is up.
bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer tick;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= timeoutMs)
            loop.quit();
    });
    tick.start(20);
    if (!done())
        loop.exec();
    return done();
}

// Which commands the peer leaves unanswered, and which replies it spoils, numbered from 1.
bool Unanswered(size_t n)
{
    return n % 10 == 0;
}
bool Spoiled(size_t n)
{
    return n % 7 == 0 && !Unanswered(n);
}

// Reads the commands until the connection is shut, noting when each one came, and answers them.
std::vector<Clock::time_point> Answer(int fd)
{
    std::vector<Clock::time_point> came;
    std::string reply(64, 'R'); // 63 of them XOR to the last
    char buffer[256];
    size_t bytes = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        const auto now = Clock::now();
        for (bytes += size_t(n); came.size() < bytes / 3;) {
            came.push_back(now);
            reply.back() = char(Spoiled(came.size()) ? 'R' ^ 1 : 'R');
            if (!Unanswered(came.size()))
                WriteAll(fd, reply.data(), reply.size());
        }
    }
    return came;
}

double Percentile(std::vector<double> values, double percent)
{
    std::sort(values.begin(), values.end());
    if (values.empty())
        return -1;
    const auto rank = size_t(std::ceil(double(values.size()) * percent / 100.0));
    return values[std::max<size_t>(rank, 1) - 1];
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    StallWatch stall;
    TerminalWindow window;
    window.show();
    EventLog& log = window.LB();
    TcpPeer peer;
    window.findChild<QLineEdit*>(QStringLiteral("txtIP"))->setText(QStringLiteral("127.0.0.1"));
    window.findChild<QLineEdit*>(QStringLiteral("txtPortNo"))->setText(QString::number(peer.port));
    window.findChild<QPushButton*>(QStringLiteral("CmdConnect"))->click();
    if (!WaitFor([&] { return log.lines().contains(QStringLiteral("Connect Succeed")); }, 5000) ||
        !WaitFor([&] { return peer.accepted.load(); }, 5000)) {
        std::fprintf(stderr, "the peer did not connect\n");
        return 1;
    }
    std::vector<Clock::time_point> came;
    std::atomic<int> peerFd = -1;
    peer.run([&](int fd) {
        peerFd = fd;
        came = Answer(fd);
    });

    window.controller().checkChoice().choose(FindCheck("xor"));
    window.SetCommandText(QString::fromLatin1(kCommand));
    RepeatPlan plan;
    plan.everyMs = kEveryMs;
    plan.sends = kSends;
    // The verdict is the repeat's last line; looked for cheaply, as the looking is measured too.
    const auto verdict = [&] {
        const QString last = log.line(log.count() - 1);
        return last.startsWith(QStringLiteral("Repeat done")) ||
                       last.startsWith(QStringLiteral("Repeat stopped"))
                   ? last
                   : QString();
    };
    stall.start();
    const double cpuBefore = CpuMs(RUSAGE_THREAD);
    const double kernelBefore = SystemMs(RUSAGE_THREAD);
    const auto wallBefore = Clock::now();
    window.repeatControl().StartRepeat(plan);
    WaitFor([&] { return !verdict().isEmpty(); }, kSends * kEveryMs + 20000);
    const double stallMs = stall.longestMs();
    const double wallMs = MsBetween(wallBefore, Clock::now());
    const double cpuPercent = 100.0 * (CpuMs(RUSAGE_THREAD) - cpuBefore) / wallMs;
    const double kernelPercent = 100.0 * (SystemMs(RUSAGE_THREAD) - kernelBefore) / wallMs;
    ::shutdown(peerFd, SHUT_RDWR); // the peer stops waiting for commands
    peer.join();

    const QRegularExpressionMatch skipped =
        QRegularExpression(QStringLiteral(", (\\d+) skipped")).match(verdict());
    size_t unanswered = 0, spoiled = 0;
    for (size_t n = 1; n <= came.size(); ++n) {
        unanswered += Unanswered(n);
        spoiled += Spoiled(n);
    }
    const QString counts = QStringLiteral("%1 answered, %2 without a reply within %3 ms, %4 failed "
                                          "their check value, 0 not matched")
                               .arg(came.size() - unanswered - spoiled)
                               .arg(unanswered)
                               .arg(kEveryMs)
                               .arg(spoiled);
    if (!verdict().startsWith(QStringLiteral("Repeat done: ")) || !skipped.hasMatch() ||
        came.size() + skipped.captured(1).toULongLong() != size_t(kSends) ||
        !verdict().contains(counts)) {
        std::fprintf(stderr, "the repeat did not do its work (%zu commands came): %s\n%s\n",
                     came.size(), qPrintable(verdict()),
                     qPrintable(log.lines().mid(log.count() - 5).join(QLatin1Char('\n'))));
        return 1;
    }
    // Each arrival against the plan the first one sets; a skipped slot leaves a gap, which the
    // rounding to the nearest slot keeps from counting as lateness.
    std::vector<double> off;
    for (const auto& at : came) {
        const double since = MsBetween(came.front(), at);
        off.push_back(std::abs(since - kEveryMs * std::round(since / kEveryMs)));
    }
    std::printf("repeat_10ms_jitter_p50_ms: %.2f ms\n", Percentile(off, 50));
    std::printf("repeat_10ms_jitter_p99_ms: %.2f ms\n", Percentile(off, 99));
    std::printf("repeat_10ms_skipped: %s slots\n", qPrintable(skipped.captured(1)));
    std::printf("repeat_10ms_stall_ms: %.1f ms\n", stallMs);
    std::printf("repeat_10ms_cpu_percent: %.2f %%\n", cpuPercent);
    std::printf("repeat_10ms_cpu_kernel_percent: %.2f %%\n", kernelPercent);
    std::printf("repeat_10ms_verdict: %s\n", qPrintable(verdict()));
    return 0;
}
