// The stand-in and check on the real program, on loopback:
//   answer_latency_ms        the stand-in at --gap 20: from the last byte of a command to the
//                            first byte of its answer (median of 50);
//   check_pair_overhead_ms   a check file of 50 send/expect pairs against that stand-in: the
//                            wall time less 50 x 320 ms (the gap and the 300 ms settle), per pair;
//   answer_64kib_100_rules_ms  choosing the answer to a 64 KiB reply among 100 rules, the last of
//                            which matches, as the window does between two events (median of 20);
//   check_file_64mib_peak_rss_mb  check's peak resident memory running a 64 MiB check file of
//                            short send lines against a peer that answers each read at once
//                            (check_file_64mib_s: how long that took);
//   answer_loop_answers      the answers the stand-in sends in 10 s to a peer that sends back all
//                            it gets, by two rules that answer each other (PING = PONG, PONG =
//                            PING).
//   bench_answers [path-to-accessterm]
#include "Median.h"
#include "answers/AnswerRules.h"

#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(text);
    return file.fileName();
}

double Latency(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return -1;
    std::vector<double> times;
    for (int i = 0; i < 50; ++i) {
        socket.write("PING\r");
        socket.flush();
        QElapsedTimer clock;
        clock.start();
        if (!QTest::qWaitFor([&] { return socket.bytesAvailable() > 0; }, 5000))
            return -1;
        times.push_back(clock.nsecsElapsed() / 1e6);
        socket.readAll();
        // Paced under the stand-in's 20 answers a second per rule.
        QTest::qWait(60);
    }
    return Median(times);
}

double AnswerStall()
{
    QByteArray rules;
    for (int n = 0; n < 99; ++n)
        rules += "^<02>CARD" + QByteArray::number(n) + "(\\d+)<03> = <06>$1\n";
    rules += "<03>$ = <06>\n";
    QStringList problems;
    AnswerRules parsed = AnswerRules::Parse(QString::fromLatin1(rules), {}, problems);
    QByteArray reply(64 << 10, 'A');
    reply[0] = '\x02';
    reply[reply.size() - 1] = '\x03';
    std::vector<double> times;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer clock;
        clock.start();
        if (!parsed.Answer(reply).rule)
            return -1;
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    return Median(times);
}

// Runs program with arguments to its end; its standard output.
QByteArray RunToEnd(const QString& program, const QStringList& arguments, int& status)
{
    QProcess child;
    QEventLoop loop;
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    child.start(program, arguments);
    loop.exec();
    status = child.exitCode();
    return child.readAllStandardOutput();
}

// The peak resident memory of check running 64 MiB of short send lines; run before any other
// child ends, as the children's peak is the largest so far.
double CheckFilePeakMb(const QString& program, const QTemporaryDir& dir, double& seconds)
{
    const QByteArray line = "send <02>READ EVENTS 0001-9999 DOOR 03 READER 1<03><0D>\n";
    const QString script = WriteFile(dir, QStringLiteral("long.check"),
                                     line.repeated((qsizetype(64) << 20) / line.size()));
    QTcpServer peer;
    peer.listen(QHostAddress::LocalHost);
    QObject::connect(&peer, &QTcpServer::newConnection, [&peer] {
        QTcpSocket* socket = peer.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, [socket] {
            socket->readAll();
            socket->write("OK");
        });
    });
    QElapsedTimer clock;
    clock.start();
    int status = 0;
    const QByteArray out = RunToEnd(program,
                                    {QStringLiteral("check"), QStringLiteral("--tcp"),
                                     QStringLiteral("127.0.0.1:%1").arg(peer.serverPort()), script},
                                    status);
    seconds = clock.elapsed() / 1e3;
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    return status == 0 && out.endsWith("0 passed, 0 failed\n") ? children.ru_maxrss / 1024.0 : -1;
}

// The answers sent in 10 s by two rules that feed each other through a peer that echoes.
int LoopAnswers(const QString& program, const QTemporaryDir& dir)
{
    const QString rules = WriteFile(dir, QStringLiteral("pair.txt"), "PING = PONG\nPONG = PING\n");
    QProcess standIn;
    standIn.start(program, {QStringLiteral("answer"), QStringLiteral("--listen"),
                            QStringLiteral("0"), QStringLiteral("--answers"), rules});
    QString said;
    const QRegularExpression answering(QStringLiteral("Answering on 127\\.0\\.0\\.1:(\\d+)"));
    if (!QTest::qWaitFor(
            [&] { return answering.match(said += standIn.readAllStandardOutput()).hasMatch(); },
            10000))
        return -1;
    QTcpSocket echo;
    QObject::connect(&echo, &QTcpSocket::readyRead, [&echo] { echo.write(echo.readAll()); });
    echo.connectToHost(QHostAddress::LocalHost,
                       quint16(answering.match(said).captured(1).toUInt()));
    if (!echo.waitForConnected(5000))
        return -1;
    echo.write("PING");
    QTest::qWait(10000);
    standIn.terminate();
    standIn.waitForFinished();
    return int((said + standIn.readAllStandardOutput()).count(QStringLiteral("[Output]------")));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                     : QDir(QCoreApplication::applicationDirPath())
                                           .filePath(QStringLiteral("../accessterm"));
    QTemporaryDir dir;
    double checkFileSeconds = 0;
    const double checkFilePeakMb = CheckFilePeakMb(program, dir, checkFileSeconds);
    const QString rules = WriteFile(dir, QStringLiteral("rules.txt"), "^PING<0D>$ = PONG<0D>\n");
    QByteArray check;
    for (int i = 0; i < 50; ++i)
        check += "send PING<0D>\nexpect ^PONG<0D>$\n";
    const QString script = WriteFile(dir, QStringLiteral("check.txt"), check);

    QProcess standIn;
    standIn.start(program, {QStringLiteral("answer"), QStringLiteral("--listen"),
                            QStringLiteral("0"), QStringLiteral("--answers"), rules,
                            QStringLiteral("--gap"), QStringLiteral("20")});
    QString said;
    const QRegularExpression answering(QStringLiteral("Answering on 127\\.0\\.0\\.1:(\\d+)"));
    if (!QTest::qWaitFor(
            [&] { return answering.match(said += standIn.readAllStandardOutput()).hasMatch(); },
            10000)) {
        std::fprintf(stderr, "the stand-in did not start\n");
        return 1;
    }
    const auto port = quint16(answering.match(said).captured(1).toUInt());
    const double latency = Latency(port);

    QProcess checker;
    QEventLoop loop;
    QObject::connect(&checker, &QProcess::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    checker.start(program, {QStringLiteral("check"), QStringLiteral("--tcp"),
                            QStringLiteral("127.0.0.1:%1").arg(port), script});
    loop.exec();
    const double wallMs = clock.nsecsElapsed() / 1e6;
    standIn.terminate();
    standIn.waitForFinished();
    const QByteArray out = checker.readAllStandardOutput();
    if (latency < 0 || checker.exitCode() != 0 || !out.endsWith("50 passed, 0 failed\n")) {
        std::fprintf(stderr, "the stand-in or check did not do their work (latency %.1f):\n%s%s\n",
                     latency, out.right(300).constData(),
                     checker.readAllStandardError().constData());
        return 1;
    }
    std::printf("answer_latency_ms: %.1f ms\n", latency);
    std::printf("check_pair_overhead_ms: %.1f ms\n", (wallMs - 50 * 320) / 50);
    std::printf("answer_64kib_100_rules_ms: %.1f ms\n", AnswerStall());
    std::printf("check_file_64mib_peak_rss_mb: %.1f MB\n", checkFilePeakMb);
    std::printf("check_file_64mib_s: %.1f s\n", checkFileSeconds);
    std::printf("answer_loop_answers: %d answers\n", LoopAnswers(program, dir));
    return 0;
}
