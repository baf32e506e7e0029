#pragma once

// The terminal as the benchmarks drive it: the controller with its real links and its log shown
// as on the window, a watcher that reads the replies back out of the log, and the measurements
// the link benchmarks share.
#include "console/EventLog.h"
#include "notation/EncodeCommandText.h"
#include "notation/RenderReceivedData.h"
#include "support/PtyPair.h"
#include "support/Terminal.h"

#include "Payloads.h"
#include "ProcessFigures.h"
#include "StallWatch.h"
#include "TcpPeer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdlib>
#include <fstream>

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

// Gives the log the window's font, colours and size, and shows it.
inline void ShowAsOnWindow(EventLog& log)
{
    QFont font(QStringLiteral("AR PL UMing TW"), 9);
    font.setBold(true);
    font.setFamilies({QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Sans CJK TC")});
    log.setFont(font);
    log.setStyleSheet(
        QStringLiteral("EventLog { background-color: rgb(0, 0, 0); color: rgb(0, 255, 255); }"));
    log.resize(548, 316);
    log.show();
}

// The terminal without its window, its log shown as on the window, and a watcher on the log.
struct BenchTerminal : Terminal {
    ReplyWatcher watcher{log};

    BenchTerminal()
    {
        fields.baud = QStringLiteral("115200");
        ShowAsOnWindow(log);
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

inline LargeReply MeasureLargeReply(BenchTerminal& t, StallWatch& stall, const std::string& payload,
                                    const std::function<void()>& send,
                                    const std::function<void()>& join)
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

inline void PrintLargeReply(const char* name, const LargeReply& r, bool kept)
{
    std::printf("%s_cpu_ms: %.1f ms\n", name, r.cpuMs);
    std::printf("%s_stall_ms: %.1f ms\n", name, r.stallMs);
    if (kept)
        std::printf("%s_kept_mb: %.1f MB\n", name, r.keptMb);
    std::printf("%s_replies: %d replies\n", name, r.replies);
    std::printf("%s_lost_bytes: %lld bytes\n", name, r.lostBytes);
}

// Prints the least, median and largest latency, and adds each one to the file named by
// ACCESSTERM_LATENCY_SAMPLES, when set, so that scripts/bench gives the figures of every link's
// replies together.
inline void PrintLatency(const char* name, std::vector<double> ms)
{
    if (const char* samples = std::getenv("ACCESSTERM_LATENCY_SAMPLES")) {
        std::ofstream out(samples, std::ios::app);
        for (const double one : ms)
            out << one << '\n';
    }
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
inline std::vector<double> LatencyOver(BenchTerminal& t, TcpPeer* peer, PtyPair* pty, int count,
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
