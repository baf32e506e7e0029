// The links a controller calls, on loopback:
//   udp_roundtrip_ms      median over 1,000 command/reply pairs, from the write of a datagram as
//                         send --udp writes it to the echo handed on by the UDP link; the
//                         controller echoes on a thread of its own;
//   tcp_server_accept_ms  median of 50: from a peer's connect to the "Connected H:P" line;
//   udp_flood_60s_*       a sender held to 20,000 datagrams a second for --flood-seconds (60) to
//                         the terminal's UDP link, its log shown as on the window: the peak
//                         resident memory, the longest stall, the datagrams sent, those the log
//                         accounts for, and those the system dropped for the socket (its own count
//                         in /proc/net/udp), reported apart; unaccounted = sent - logged - dropped.
//   bench_udp [--flood-seconds N]
#include "BenchTerminal.h"
#include "Median.h"

#include "links/TcpServerLink.h"
#include "links/UdpLink.h"

#include <QApplication>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace
{

struct Quiet : LineSink {
    void AddLine(const QString& text) override
    {
        last = text;
        at = Clock::now();
    }
    QString last;
    Clock::time_point at;
};

// A UDP socket on 127.0.0.1, its port.
int LoopbackSocket(quint16& port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return fd;
}

sockaddr_in To(quint16 port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    return to;
}

// Runs the event loop until done() holds or the time is up, looking every tickMs; a signal may
// quit the loop sooner through the loop given.
bool WaitFor(const std::function<bool()>& done, int timeoutMs, int tickMs = 50,
             QEventLoop* loop = nullptr)
{
    QEventLoop own;
    QEventLoop& wait = loop ? *loop : own;
    QTimer tick;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&tick, &QTimer::timeout, &wait, [&] {
        if (done() || clock.elapsed() >= timeoutMs)
            wait.quit();
    });
    tick.start(tickMs);
    while (!done() && clock.elapsed() < timeoutMs)
        wait.exec();
    return done();
}

double Roundtrip()
{
    quint16 port = 0;
    const int controller = LoopbackSocket(port);
    std::thread echo([controller] {
        char buffer[2048];
        sockaddr_in from{};
        socklen_t size = sizeof from;
        for (;;) {
            const ssize_t got = ::recvfrom(controller, buffer, sizeof buffer, 0,
                                           reinterpret_cast<sockaddr*>(&from), &size);
            if (got <= 0 || std::memcmp(buffer, "STOP", 4) == 0)
                return;
            ::sendto(controller, buffer, size_t(got), 0, reinterpret_cast<sockaddr*>(&from), size);
        }
    });
    Quiet lines;
    UdpLink link(lines);
    link.Open(QStringLiteral("127.0.0.1"), port);
    Clock::time_point arrived;
    int replies = 0;
    QEventLoop loop;
    QObject::connect(&link, &UdpLink::DatagramArrived, [&] {
        arrived = Clock::now();
        ++replies;
        loop.quit();
    });
    std::vector<double> times;
    for (int n = 0; n < 1000; ++n) {
        const auto start = Clock::now();
        link.Send("<02>RC" + QByteArray::number(n) + "<03>");
        if (!WaitFor([&] { return replies > n; }, 2000, 50, &loop))
            break;
        times.push_back(MsBetween(start, arrived));
    }
    link.Send("STOP");
    echo.join();
    ::close(controller);
    return times.size() == 1000 ? Median(times) : -1;
}

double Accept()
{
    Quiet lines;
    TcpServerLink server(lines);
    server.Listen(QStringLiteral("127.0.0.1"), 0);
    std::vector<double> times;
    for (int n = 0; n < 50; ++n) {
        const int peer = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in to = To(server.listener().Port());
        const auto start = Clock::now();
        ::connect(peer, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (!WaitFor([&] { return lines.last.startsWith(QLatin1String("Connected ")); }, 2000, 1))
            return -1;
        times.push_back(MsBetween(start, lines.at));
        ::close(peer);
        if (!WaitFor([&] { return lines.last.startsWith(QLatin1String("Closed ")); }, 2000, 1))
            return -1;
    }
    return Median(times);
}

// The system's count of datagrams dropped for the UDP socket on this local port.
long long KernelDrops(quint16 port)
{
    std::ifstream table("/proc/net/udp");
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string slot, local, field;
        fields >> slot >> local;
        if (local.size() < 5 || local.compare(local.size() - 5, 5, wanted) != 0)
            continue;
        while (fields >> field) {
        }
        return std::atoll(field.c_str());
    }
    return -1;
}

void Flood(int seconds)
{
    Terminal t;
    ShowAsOnWindow(t.log);
    quint16 port = 0;
    const int sender = LoopbackSocket(port);
    t.fields.host = QStringLiteral("127.0.0.1");
    t.fields.port = QString::number(port);
    t.controller.Option1_Click();
    t.controller.Link_Click(LinkChoice::Kind::Udp);
    t.controller.CmdConnect_Click();
    const quint16 local = t.controller.links().udp().LocalPort();
    t.controller.cmdClear_Click();
    std::atomic<long long> sent{0};
    std::atomic<bool> done{false};
    std::thread flood([&] {
        // An access event as a controller reports it, numbered; 20 every millisecond.
        const sockaddr_in to = To(local);
        const auto start = Clock::now();
        auto next = start;
        for (long long n = 0; Clock::now() < start + std::chrono::seconds(seconds);) {
            for (int i = 0; i < 20; ++i, ++n) {
                char event[40];
                const int size = std::snprintf(event, sizeof event,
                                               "\x02"
                                               "EV%010lld0001\x03",
                                               n);
                if (::sendto(sender, event, size_t(size), 0, reinterpret_cast<const sockaddr*>(&to),
                             sizeof to) == size)
                    ++sent;
            }
            std::this_thread::sleep_until(next += std::chrono::milliseconds(1));
        }
        done = true;
    });
    StallWatch stall;
    stall.start();
    double peakMb = 0;
    const auto logged = [&t] {
        long long lines = t.log.logModel().leftLines();
        for (const LogLine& line : t.log.logModel().lines())
            lines += line.kind() == LogLine::Kind::Input;
        return lines;
    };
    const long long drops0 = std::max(0ll, KernelDrops(local));
    const UdpLink& udp = t.controller.links().udp();
    WaitFor(
        [&] {
            peakMb = std::max(peakMb, ResidentMb());
            return done.load() &&
                   (long long)udp.DatagramsRead() + KernelDrops(local) - drops0 >= sent &&
                   t.log.model()->rowCount() == t.log.count();
        },
        (seconds + 120) * 1000, 20);
    const double stallMs = stall.longestMs();
    flood.join();
    const long long drops = KernelDrops(local) - drops0;
    const long long accounted = logged();
    std::printf("udp_flood_60s_seconds: %d s\n", seconds);
    std::printf("udp_flood_60s_peak_rss_mb: %.1f MB\n", std::max(peakMb, ResidentMb()));
    std::printf("udp_flood_60s_stall_ms: %.1f ms\n", stallMs);
    std::printf("udp_flood_60s_sent_datagrams: %lld datagrams\n", sent.load());
    std::printf("udp_flood_60s_logged_datagrams: %lld datagrams\n", accounted);
    std::printf("udp_flood_60s_kernel_drops: %lld datagrams\n", drops);
    std::printf("udp_flood_60s_unaccounted_datagrams: %lld datagrams\n",
                std::llabs(sent - accounted - drops));
    ::close(sender);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int floodSeconds = 60;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--flood-seconds") == 0 ||
            std::strcmp(argv[i], "--stream-seconds") == 0)
            floodSeconds = std::max(1, std::atoi(argv[i + 1]));
    std::printf("udp_roundtrip_ms: %.3f ms\n", Roundtrip());
    std::printf("tcp_server_accept_ms: %.3f ms\n", Accept());
    std::fflush(stdout);
    Flood(floodSeconds);
    return 0;
}
