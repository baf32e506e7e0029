// Figures of the engineer's own descriptions and of decoding saved sessions: a description of
// 64 KiB read from its file (the median of 20 readings, in the thread's own processor time, so
// that other work on the machine does not count), and the real program decoding a saved log of a
// million OSDP lines (polls and their ACKs) to /dev/null, with its processor time (which other
// work on the machine stretches less than its wall time) and its peak memory.
// Usage: bench_decode PROGRAM
#include "Median.h"
#include "terminal/ProtocolCatalogue.h"
#include "terminal/TrafficLines.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <time.h>

namespace
{

double CpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// A description of about 64 KiB: the template's frame and many messages of a few fields each.
QByteArray LargeDescription()
{
    QByteArray text = "title a large one\nstart 02\nfield CODE u16be code\ndata\nend 03\n"
                      "check bcc from 1\n";
    for (int code = 0; text.size() < ProtocolCatalogue::kDescriptionAtMost - 200; ++code)
        text += "message m" + QByteArray::number(code) + " " + QByteArray::number(code) +
                "\nfield DOOR u8\n0 = closed\n1 = open\nfield CLOCK bcd 6\nfield CARD u32be\n"
                "summary door {DOOR} card {CARD} at {CLOCK}\n";
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_decode PROGRAM\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString description = dir.filePath(QStringLiteral("large.txt"));
    QFile file(description);
    file.open(QIODevice::WriteOnly);
    file.write(LargeDescription());
    file.close();
    std::vector<double> loads;
    for (int run = 0; run < 20; ++run) {
        const double start = CpuMs();
        const ProtocolEntry entry = ProtocolCatalogue::ReadFile(description, description);
        loads.push_back(CpuMs() - start);
        if (!entry.ok())
            std::printf("error: %s\n", qPrintable(entry.refusal));
    }

    // A saved log: a poll and its ACK a line each, as the window saves them.
    const QString log = dir.filePath(QStringLiteral("session.log"));
    QFile saved(log);
    saved.open(QIODevice::WriteOnly);
    const QByteArray poll =
        "2026-12-10 04:09:36.123  " +
        InputLine(QByteArray::fromHex("ff530108000460ba00"), kOutputMarker).toUtf8() +
        "\tosdp_POLL  PD 01  SQN 0\n";
    const QByteArray ack = "2026-12-10 04:09:36.131  " +
                           InputLine(QByteArray::fromHex("ff5381080005403935")).toUtf8() + "\n";
    QByteArray chunk;
    for (int line = 0; line < 1000; line += 2)
        chunk += poll + ack;
    for (int n = 0; n < 1000; ++n)
        saved.write(chunk);
    saved.close();
    QProcess decode;
    decode.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    decode.start(
        QString::fromLocal8Bit(argv[1]),
        {QStringLiteral("decode"), QStringLiteral("--protocol"), QStringLiteral("osdp"), log});
    decode.waitForFinished(-1);
    const double decodeMs = double(timer.nsecsElapsed()) / 1e6;
    if (decode.exitCode() != 0)
        std::printf("error: decode ended with %d: %s\n", decode.exitCode(),
                    decode.readAllStandardError().constData());
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);

    std::printf("protocol_load_ms: %.2f ms\n", Median(loads));
    std::printf("decode_saved_1m_lines_ms: %.0f ms\n", decodeMs);
    std::printf("decode_saved_1m_lines_cpu_ms: %.0f ms\n",
                double(children.ru_utime.tv_sec + children.ru_stime.tv_sec) * 1e3 +
                    double(children.ru_utime.tv_usec + children.ru_stime.tv_usec) / 1e3);
    std::printf("decode_saved_1m_lines_rss_mb: %.1f MB\n", double(children.ru_maxrss) / 1024);
}
