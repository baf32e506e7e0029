// The shell mode on the real program, run as a script runs it, against a loopback peer that
// answers every command at once:
//   cli_send_overhead_ms   the wall time of `accessterm send`, less the 300 ms settle (median of
//   10):
//                          start-up, connect, write, print, exit;
//   cli_send_cpu_ms        the program's processor time for that send (median of 10), which the
//                          machine's other work does not stretch as it does the wall time;
//   cli_reply_1mib_cpu_ms  the program's processor time for a reply of 1 MiB of random bytes
//                          printed whole, less that of a one-byte reply (median of 5 each);
//   cli_reply_1mib_process_cpu_ms  the whole program's processor time for that send;
//   cli_flood_peak_rss_mb  the program's peak resident memory for a send answered by 10 s of
//                          zeros at loopback speed, printed to /dev/null in continuation lines.
//   bench_shell [path-to-accessterm]
#include "shell/ShellText.h"
#include "terminal/TrafficLines.h"

#include "Median.h"
#include "ProcessFigures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace
{

struct Run {
    double wallMs = 0;
    double cpuMs = 0;
    bool exact = false; // the program printed the command and the reply exactly
};

Run Send(const QString& program, const QByteArray& reply)
{
    QTcpServer peer;
    peer.listen(QHostAddress::LocalHost);
    QObject::connect(&peer, &QTcpServer::newConnection, [&] {
        QTcpSocket* socket = peer.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, [socket, &reply] {
            socket->readAll();
            socket->write(reply);
        });
    });
    QProcess child;
    QEventLoop loop;
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    const double cpuBefore = CpuMs(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    child.start(program,
                {QStringLiteral("send"), QStringLiteral("--tcp"),
                 QStringLiteral("127.0.0.1:%1").arg(peer.serverPort()), QStringLiteral("X")});
    loop.exec();
    Run run;
    run.wallMs = clock.nsecsElapsed() / 1e6;
    run.cpuMs = CpuMs(RUSAGE_CHILDREN) - cpuBefore;
    // As printed for a terminal: C1 controls as their tokens.
    const QByteArray line = InputLine(reply).toUtf8();
    const QByteArray expected =
        "[Output]------X\n" +
        QByteArray::fromStdString(WithControlsAsTokens({line.constData(), size_t(line.size())})) +
        "\n";
    run.exact = child.exitCode() == 0 && child.readAllStandardOutput() == expected;
    return run;
}

double FloodPeakMb(const QString& program)
{
    constexpr qint64 kFloodMs = 10000;
    QTcpServer peer;
    peer.listen(QHostAddress::LocalHost);
    QElapsedTimer flooding;
    QObject::connect(&peer, &QTcpServer::newConnection, [&] {
        QTcpSocket* socket = peer.nextPendingConnection();
        const auto more = [socket, &flooding] {
            if (flooding.elapsed() > kFloodMs) {
                socket->disconnectFromHost();
                return;
            }
            while (socket->bytesToWrite() < (4 << 20))
                socket->write(QByteArray(1 << 16, '\0'));
        };
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, more);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, &flooding, more] {
            socket->readAll();
            flooding.start();
            more();
        });
    });
    QProcess child;
    child.setStandardOutputFile(QProcess::nullDevice());
    QEventLoop loop;
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    child.start(program, {QStringLiteral("send"), QStringLiteral("--tcp"),
                          QStringLiteral("127.0.0.1:%1").arg(peer.serverPort()),
                          QStringLiteral("--max-reply"), QStringLiteral("1000000000000"),
                          QStringLiteral("X")});
    loop.exec();
    // The largest child so far: run first, this is the one.
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    return children.ru_maxrss / 1024.0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                     : QDir(QCoreApplication::applicationDirPath())
                                           .filePath(QStringLiteral("../accessterm"));
    QByteArray large(1 << 20, Qt::Uninitialized);
    std::mt19937 random(1);
    for (char& byte : large)
        byte = char(random());

    const double floodPeakMb = FloodPeakMb(program);
    std::vector<double> overhead, smallCpu, largeCpu;
    for (int i = 0; i < 10; ++i) {
        const Run run = Send(program, "K");
        if (!run.exact) {
            std::fprintf(stderr, "the program did not print the reply\n");
            return 1;
        }
        overhead.push_back(run.wallMs - 300);
        smallCpu.push_back(run.cpuMs);
    }
    for (int i = 0; i < 5; ++i) {
        const Run run = Send(program, large);
        if (!run.exact) {
            std::fprintf(stderr, "the program did not print the 1 MiB reply whole\n");
            return 1;
        }
        largeCpu.push_back(run.cpuMs);
    }
    std::printf("cli_send_overhead_ms: %.1f ms\n", Median(overhead));
    std::printf("cli_send_cpu_ms: %.1f ms\n", Median(smallCpu));
    std::printf("cli_reply_1mib_cpu_ms: %.1f ms\n", Median(largeCpu) - Median(smallCpu));
    std::printf("cli_reply_1mib_process_cpu_ms: %.1f ms\n", Median(largeCpu));
    std::printf("cli_flood_peak_rss_mb: %.1f MB\n", floodPeakMb);
    return 0;
}
