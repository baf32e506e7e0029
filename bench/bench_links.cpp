// The links measured end to end through the terminal controller: the settle wait's processor cost,
// reply latency from a peer's first byte to its line in the log, a 1 MiB TCP burst, large random
// replies (1 MiB over TCP and a pseudo-terminal, 16 MiB over TCP), repainting the log scrolled to
// the end of a long line, and a long serial stream at 115200 baud. Peers are real: a loopback TCP
// peer and a pseudo-terminal, each driven from a thread of its own as a device would be. The log
// has the window's font and colours. Run headless (QT_QPA_PLATFORM=offscreen).
//   bench_links [--stream-seconds N]
#include "console/EventLog.h"
#include "notation/EncodeCommandText.h"
#include "notation/RenderReceivedData.h"
#include "support/PtyPair.h"
#include "support/Terminal.h"

#include "ProcessFigures.h"
#include "StallWatch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

const QString kInputMarker = QStringLiteral("[Input]------");

// Watches the log for reply lines and turns them back into the bytes they show.
class ReplyWatcher
{
public:
    explicit ReplyWatcher(EventLog& log) : m_log(log)
    {
        QObject::connect(log.model(), &QAbstractItemModel::rowsInserted, [this] { collect(); });
        QObject::connect(log.model(), &QAbstractItemModel::modelReset, [this] { m_seen = 0; });
    }
    void collect()
    {
        for (; m_seen < m_log.count(); ++m_seen) {
            const QString line = m_log.line(m_seen);
            if (!line.startsWith(kInputMarker))
                continue;
            ++replies;
            lastReply = Clock::now();
            m_held.append(line); // shared with the log, not a copy
            if (!holdBack)
                decodeHeld();
        }
    }
    // Turns the reply lines held back so far into bytes.
    void decodeHeld()
    {
        for (const QString& line : std::as_const(m_held)) {
            const EncodedCommand shown =
                EncodeCommandText(line.mid(kInputMarker.size()).toStdU32String());
            bytes.append(shown.bytes.begin(), shown.bytes.end());
        }
        m_held.clear();
    }
    // The characters of the reply lines held back so far, their markers left out.
    size_t heldChars() const
    {
        size_t chars = 0;
        for (const QString& line : m_held)
            chars += size_t(line.size() - kInputMarker.size());
        return chars;
    }
    // The reply lines held back so far as shown, without their marker, joined; then forgotten.
    std::string takeHeldText()
    {
        std::string text;
        for (const QString& line : std::as_const(m_held))
            text += line.mid(kInputMarker.size()).toLatin1().toStdString();
        m_held.clear();
        return text;
    }
    // Runs the event loop until done() holds or the time is up. It looks each time log lines
    // are shown, and every 100 ms for what happens elsewhere, so that the figures measure the
    // terminal and not this loop.
    bool waitFor(const std::function<bool()>& done, int timeoutMs)
    {
        QEventLoop loop;
        QTimer tick;
        QElapsedTimer t;
        t.start();
        const auto check = [&] {
            if (done() || t.elapsed() >= timeoutMs)
                loop.quit();
        };
        QObject::connect(&tick, &QTimer::timeout, &loop, check);
        QObject::connect(m_log.model(), &QAbstractItemModel::rowsInserted, &loop, check);
        tick.start(100);
        if (!done())
            loop.exec();
        return done();
    }

    std::string bytes;
    int replies = 0;
    Clock::time_point lastReply;
    // While set, reply lines are only noted, so that decoding them does not count as the
    // terminal's work; decodeHeld() decodes them afterwards.
    bool holdBack = false;

private:
    EventLog& m_log;
    int m_seen = 0;
    QStringList m_held;
};

// A numbered payload: records "0000000\n" counting up, so that lost or doubled bytes show.
std::string NumberedPayload(size_t size)
{
    std::string out;
    out.reserve(size + 8);
    char record[16];
    for (unsigned n = 0; out.size() < size; ++n) {
        std::snprintf(record, sizeof record, "%07u\n", n % 10000000u);
        out += record;
    }
    out.resize(size);
    return out;
}

std::string RandomPayload(size_t size)
{
    std::mt19937 random(size);
    std::string out(size, '\0');
    for (char& c : out)
        c = char(random());
    return out;
}

// For a payload without records: the characters outside the longest common start and end of
// two renderings, what was sent and what the log shows (0 when they are the same).
long long LostOrDoubledBytes(const std::string& sent, const std::string& received)
{
    const size_t shorter = std::min(sent.size(), received.size());
    size_t head = 0;
    while (head < shorter && sent[head] == received[head])
        ++head;
    size_t tail = 0;
    while (tail < shorter - head &&
           sent[sent.size() - 1 - tail] == received[received.size() - 1 - tail])
        ++tail;
    return (long long)(sent.size() + received.size() - 2 * (head + tail));
}

// Bytes lost or doubled between what was sent and what the log shows.
long long LostOrDoubled(const std::string& sent, const std::string& received)
{
    if (sent == received)
        return 0;
    std::map<std::string, int> expected;
    for (size_t i = 0; i + 8 <= sent.size(); i += 8)
        ++expected[sent.substr(i, 8)];
    long long bad = 0;
    size_t i = 0;
    while (i < received.size()) {
        const size_t end = received.find('\n', i);
        const std::string record =
            received.substr(i, end == std::string::npos ? std::string::npos : end - i + 1);
        auto it = expected.find(record);
        if (it != expected.end() && it->second > 0)
            --it->second;
        else
            bad += (long long)record.size();
        i += record.size();
    }
    for (const auto& [record, left] : expected)
        bad += 8LL * left;
    return bad;
}

// A loopback TCP peer on its own thread: accepts one connection, then runs the script given.
class TcpPeer
{
public:
    TcpPeer()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 1);
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        port = ntohs(addr.sin_port);
        m_thread = std::thread([this] {
            m_conn = ::accept(m_listen, nullptr, nullptr);
            accepted = true;
        });
    }
    ~TcpPeer()
    {
        if (m_thread.joinable())
            m_thread.join();
        if (m_conn >= 0)
            ::close(m_conn);
        ::close(m_listen);
    }
    void run(std::function<void(int fd)> script)
    {
        join();
        m_thread = std::thread([this, script] { script(m_conn); });
    }
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    int port = 0;
    std::atomic<bool> accepted{false};

private:
    int m_listen = -1;
    int m_conn = -1;
    std::thread m_thread;
};

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            // A full pseudo-terminal (opened non-blocking): wait until the terminal reads.
            pollfd ready{fd, POLLOUT, 0};
            ::poll(&ready, 1, 1000);
            continue;
        }
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Sends `count` replies `periodMs` apart, recording when each one's first byte went out.
std::vector<Clock::time_point> SendReplies(int fd, int count, int periodMs)
{
    std::vector<Clock::time_point> sent;
    const std::string reply = "\x02"
                              "AB\x03\r\n";
    auto next = Clock::now();
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_until(next);
        sent.push_back(Clock::now());
        WriteAll(fd, reply.data(), reply.size());
        next += std::chrono::milliseconds(periodMs);
    }
    return sent;
}

// The terminal without its window, its log shown as on the window, and a watcher on the log.
struct BenchTerminal : Terminal {
    ReplyWatcher watcher{log};

    BenchTerminal()
    {
        fields.baud = QStringLiteral("115200");
        QFont font(QStringLiteral("AR PL UMing TW"), 9);
        font.setBold(true);
        font.setFamilies({QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Sans CJK TC")});
        log.setFont(font);
        log.setStyleSheet(QStringLiteral(
            "EventLog { background-color: rgb(0, 0, 0); color: rgb(0, 255, 255); }"));
        log.resize(548, 316);
        log.show();
    }
};

// One large reply from its first byte to its line shown: the process's processor time, the
// longest stall, the memory kept, and whether every byte arrived once. send() starts the device.
struct LargeReply {
    double cpuMs = 0;
    double stallMs = 0;
    double keptMb = 0;
    int replies = 0;
    long long lostBytes = 0;
};

LargeReply MeasureLargeReply(BenchTerminal& t, StallWatch& stall, const std::string& payload,
                             const std::function<void()>& send, const std::function<void()>& join)
{
    LargeReply r;
    const std::string rendered = RenderReceivedData(payload);
    t.watcher.holdBack = true;
    const int before = t.watcher.replies;
    const double rssBefore = ResidentMb();
    const double cpuBefore = CpuMs(RUSAGE_SELF);
    stall.start();
    send();
    // Shown: every byte has come as a line and the view has laid it out and painted it.
    t.watcher.waitFor(
        [&] {
            return t.watcher.heldChars() >= rendered.size() &&
                   t.log.model()->rowCount() == t.log.count();
        },
        60000);
    // Anything more or doubled would still be on its way: give it one more settle period.
    t.watcher.waitFor([] { return false; }, 700);
    r.cpuMs = CpuMs(RUSAGE_SELF) - cpuBefore;
    r.stallMs = stall.longestMs();
    r.keptMb = ResidentMb() - rssBefore;
    join();
    r.replies = t.watcher.replies - before;
    t.watcher.holdBack = false;
    // Random bytes are compared as rendered: decoding is not unique for them ("<0A>" stands
    // for itself and for one byte).
    r.lostBytes = LostOrDoubledBytes(rendered, t.watcher.takeHeldText());
    return r;
}

void PrintLargeReply(const char* name, const LargeReply& r, bool kept)
{
    std::printf("%s_cpu_ms: %.1f ms\n", name, r.cpuMs);
    std::printf("%s_stall_ms: %.1f ms\n", name, r.stallMs);
    if (kept)
        std::printf("%s_kept_mb: %.1f MB\n", name, r.keptMb);
    std::printf("%s_replies: %d replies\n", name, r.replies);
    std::printf("%s_lost_bytes: %lld bytes\n", name, r.lostBytes);
}

void PrintLatency(const char* name, std::vector<double> ms)
{
    if (ms.empty()) {
        std::printf("%s_min: nan ms\n%s_median: nan ms\n%s_max: nan ms\n", name, name, name);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s_min: %.1f ms\n", name, ms.front());
    std::printf("%s_median: %.1f ms\n", name, ms[ms.size() / 2]);
    std::printf("%s_max: %.1f ms\n", name, ms.back());
}

// Latencies of replies sent at `sent`, seen in the log when `replies` reached each count.
std::vector<double> LatencyOver(BenchTerminal& t, TcpPeer* peer, PtyPair* pty, int count,
                                int periodMs)
{
    std::vector<Clock::time_point> sent, seen;
    const int before = t.watcher.replies;
    std::thread writer;
    if (peer)
        peer->run([&](int fd) { sent = SendReplies(fd, count, periodMs); });
    else
        writer = std::thread([&] { sent = SendReplies(pty->masterFd(), count, periodMs); });
    QObject conn;
    QObject::connect(t.log.model(), &QAbstractItemModel::rowsInserted, &conn, [&] {
        while (int(seen.size()) < t.watcher.replies - before)
            seen.push_back(Clock::now());
    });
    t.watcher.waitFor([&] { return t.watcher.replies - before >= count; }, count * periodMs + 5000);
    if (peer)
        peer->join();
    else
        writer.join();
    std::vector<double> ms;
    for (size_t i = 0; i < std::min(sent.size(), seen.size()); ++i)
        ms.push_back(MsBetween(sent[i], seen[i]));
    return ms;
}

} // namespace

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

    std::vector<double> allLatency;
    {
        // TCP: connect, then 20 replies 400 ms apart for the processor cost, 50 for latency.
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
        allLatency.insert(allLatency.end(), tcp.begin(), tcp.end());
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
        std::printf("tcp_burst_1mib_lost_bytes: %lld bytes\n",
                    LostOrDoubled(burst, t.watcher.bytes));
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
    }
    {
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
        allLatency.insert(allLatency.end(), serial.begin(), serial.end());
        PrintLatency("serial_reply_latency_ms", serial);
        PrintLatency("reply_latency_ms", allLatency);

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
                WriteAll(pty.masterFd(), stream.data() + at,
                         std::min<size_t>(115, stream.size() - at));
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
        std::printf("serial_stream_lost_bytes: %lld bytes\n",
                    LostOrDoubled(stream, t.watcher.bytes));
        std::printf("serial_stream_cpu_percent: %.2f %%\n", 100.0 * cpu / wall);
        std::printf("serial_stream_cpu_system_percent: %.2f %%\n", 100.0 * system / wall);
        std::printf("serial_stream_stall_ms: %.1f ms\n", streamStall);
    }
    QFile::remove(captureFile);
    return 0;
}
