// A peer that floods, and the log's largest lines, through the terminal controller and its log
// shown as on the window, against a loopback peer on a thread of its own:
// - a repaint of the log with a 100 M-byte reply's line in view;
// - the resident memory after Clear Screen of a log that held 1 GiB of replies (4 MiB each);
// - a peer sending as fast as it can for 60 s: the peak resident memory, the longest stall of the
//   window's thread, and the bytes sent against the bytes the log accounts for;
// - the same with a peer sending zeros.
// The flood stops early, and says so, should the process grow past --rss-cap-mb: the machine is
// shared. Run headless (QT_QPA_PLATFORM=offscreen).
// Then zeros on a serial port (a pseudo-terminal) for --serial-seconds (10 unless told).
//   bench_flood [--stream-seconds N] [--clear-mib N] [--serial-seconds N] [--rss-cap-mb N]
#include "BenchTerminal.h"

#include <QApplication>
#include <QFile>

#include <cstring>

namespace
{

// Runs the event loop until done() holds or the time is up, looking every 50 ms.
bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer tick;
    QElapsedTimer t;
    t.start();
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || t.elapsed() >= timeoutMs)
            loop.quit();
    });
    tick.start(50);
    if (!done())
        loop.exec();
    return done();
}

// The bytes the log accounts for: those its lines stand for, and those of the lines that have
// left it to keep it within its budget, by its own count.
long long BytesInLog(const EventLog& log)
{
    long long bytes = log.logModel().leftBytes();
    for (const LogLine& line : log.logModel().lines())
        bytes += line.byteCount();
    return bytes;
}

// Every byte value but "<", over and over.
std::string FloodPayload(size_t size)
{
    std::string out(size, '\0');
    for (size_t i = 0, c = 0; i < size; ++i, c = (c + 1) % 255)
        out[i] = char(c < '<' ? c : c + 1);
    return out;
}

// The highest resident memory while it runs, read every 10 ms on a thread of its own.
class PeakMemory
{
public:
    PeakMemory()
        : m_thread([this] {
              while (!m_stop) {
                  m_peakMb = std::max(m_peakMb.load(), ResidentMb());
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              }
          })
    {
    }
    double stop()
    {
        m_stop = true;
        m_thread.join();
        return std::max(m_peakMb.load(), ResidentMb());
    }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_peakMb{0};
    std::thread m_thread;
};

// A peer sending block over and over as fast as it can for the given seconds: the peak resident
// memory, the longest stall of the window's thread, and the bytes sent against those the log
// accounts for, each figure named after name.
void Flood(Terminal& t, TcpPeer& peer, const char* name, const std::string& block, int floodSeconds,
           double rssCapMb, const long long& replied)
{
    StallWatch stall;
    const auto shown = [&](long long bytes) {
        return replied >= bytes && t.log.model()->rowCount() == t.log.count();
    };
    const long long before = replied;
    std::atomic<long long> sent{0};
    std::atomic<bool> done{false};
    double floodedSeconds = 0;
    peer.run([&](int fd) {
        const auto start = Clock::now();
        const auto end = start + std::chrono::seconds(floodSeconds);
        for (int n = 0; Clock::now() < end; ++n) {
            if (n % 16 == 0 && ResidentMb() > rssCapMb)
                break;
            if (!WriteAll(fd, block.data(), block.size()))
                break;
            sent += (long long)block.size();
        }
        floodedSeconds = MsBetween(start, Clock::now()) / 1000;
        done = true;
    });
    PeakMemory peak;
    stall.start();
    WaitFor([&] { return done && shown(before + sent); }, floodSeconds * 1000 + 300000);
    WaitFor([] { return false; }, 700);
    const double stallMs = stall.longestMs();
    const double peakMb = peak.stop();
    peer.join();
    const long long accounted = BytesInLog(t.log);
    std::printf("%s_seconds: %.1f s\n", name, floodedSeconds);
    std::printf("%s_peak_rss_mb: %.1f MB\n", name, peakMb);
    std::printf("%s_stall_ms: %.1f ms\n", name, stallMs);
    std::printf("%s_sent_bytes: %lld bytes\n", name, sent.load());
    std::printf("%s_accounted_bytes: %lld bytes\n", name, accounted);
    std::printf("%s_left_bytes: %lld bytes\n", name, t.log.logModel().leftBytes());
    std::printf("%s_kept_lines: %d lines\n", name, t.log.count());
    std::printf("%s_unaccounted_bytes: %lld bytes\n", name, std::llabs(sent - accounted));
}

// Zeros on a serial port as fast as a pseudo-terminal takes them, each burst also rendered for the
// capture file (removed after): the peak resident memory, and the bytes sent against those the log
// accounts for.
void SerialZeroFlood(Terminal& t, int seconds)
{
    PtyPair pty;
    qputenv("ACCESSTERM_COM5", pty.slavePath().toLocal8Bit());
    t.fields.portIndex = 4;
    t.controller.Option2_Click();
    long long replied = 0;
    QObject::connect(&t.serial, &SerialLink::ReplyArrived,
                     [&](const QByteArray& reply) { replied += reply.size(); });
    std::atomic<long long> sent{0};
    std::atomic<bool> done{false};
    std::thread device([&] {
        const std::string block(64 << 10, '\0');
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end && WriteAll(pty.masterFd(), block.data(), block.size()))
            sent += (long long)block.size();
        done = true;
    });
    PeakMemory peak;
    WaitFor([&] { return done && replied >= sent; }, seconds * 1000 + 120000);
    const double peakMb = peak.stop();
    device.join();
    std::printf("serial_zero_flood_seconds: %d s\n", seconds);
    std::printf("serial_zero_flood_peak_rss_mb: %.1f MB\n", peakMb);
    std::printf("serial_zero_flood_sent_bytes: %lld bytes\n", sent.load());
    std::printf("serial_zero_flood_unaccounted_bytes: %lld bytes\n",
                std::llabs(sent - BytesInLog(t.log)));
    QFile::remove(CaptureFile());
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int floodSeconds = 60;
    int clearMib = 1024;
    double rssCapMb = 6144;
    int serialSeconds = 10;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--stream-seconds") == 0)
            floodSeconds = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--clear-mib") == 0)
            clearMib = std::max(16, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--serial-seconds") == 0)
            serialSeconds = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--rss-cap-mb") == 0)
            rssCapMb = std::atof(argv[i + 1]);
    }

    Terminal t;
    ShowAsOnWindow(t.log);
    long long replied = 0;
    QObject::connect(&t.tcp, &TcpLink::ReplyArrived,
                     [&](const QByteArray& reply) { replied += reply.size(); });
    const auto shown = [&](long long bytes) {
        return replied >= bytes && t.log.model()->rowCount() == t.log.count();
    };
    TcpPeer peer;
    t.fields.host = QStringLiteral("127.0.0.1");
    t.fields.port = QString::number(peer.port);
    t.controller.CmdConnect_Click();
    WaitFor([&] { return t.log.lines().contains("Connect Succeed") && peer.accepted; }, 5000);
    WaitFor([] { return false; }, 300);
    const double startMb = ResidentMb();
    std::printf("rss_at_start_mb: %.1f MB\n", startMb);

    // One reply of 100 M bytes, its line in view, repainted.
    {
        const std::string reply = RandomPayload(100000000);
        const long long before = replied;
        const int rows = t.log.count();
        peer.run([&](int fd) { WriteAll(fd, reply.data(), reply.size()); });
        WaitFor([&] { return shown(before + (long long)reply.size()); }, 120000);
        peer.join();
        std::printf("log_paint_100m_line_lines: %d lines\n", t.log.count() - rows);
        t.log.scrollToBottom();
        double paintMs = 0;
        for (int i = 0; i < 5; ++i) {
            const auto paintStart = Clock::now();
            t.log.viewport()->repaint();
            paintMs = std::max(paintMs, MsBetween(paintStart, Clock::now()));
        }
        std::printf("log_paint_100m_line_ms: %.1f ms\n", paintMs);
        t.controller.cmdClear_Click();
        WaitFor([] { return false; }, 500);
    }

    // 1 GiB of replies, 4 MiB each, then Clear Screen; the payload is gone by then.
    {
        const std::string reply = FloodPayload(4 << 20);
        for (int sent = 0; sent < clearMib; sent += 4) {
            const long long before = replied;
            peer.run([&](int fd) { WriteAll(fd, reply.data(), reply.size()); });
            WaitFor([&] { return shown(before + (long long)reply.size()); }, 60000);
            peer.join();
        }
    }
    std::printf("clear_held_mib: %d MiB\n", clearMib);
    std::printf("clear_held_rss_mb: %.1f MB\n", ResidentMb());
    t.controller.cmdClear_Click();
    WaitFor([] { return false; }, 500);
    std::printf("clear_after_1gib_rss_mb: %.1f MB\n", ResidentMb());
    std::printf("clear_after_1gib_rss_growth_mb: %.1f MB\n", ResidentMb() - startMb);

    Flood(t, peer, "tcp_flood_60s", FloodPayload(1 << 20), floodSeconds, rssCapMb, replied);
    t.controller.cmdClear_Click();
    WaitFor([] { return false; }, 500);
    // Zeros, which the log spells with four characters a byte: the dearest bytes to keep.
    Flood(t, peer, "tcp_zero_flood_60s", std::string(1 << 20, '\0'), floodSeconds, rssCapMb,
          replied);
    t.controller.cmdClear_Click();
    SerialZeroFlood(t, serialSeconds);
    return 0;
}
