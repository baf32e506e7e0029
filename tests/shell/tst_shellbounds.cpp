// accessterm send against peers that flood, close and reset, and with its standard streams full,
// closed or read by a reader that goes away; the files the modes read, however hostile, and a
// stop while one is awaited; run by bash as a script runs it.
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/socket.h>

namespace
{

// A loopback peer that, on the first command, answers as its behaviour says: "flood" (zeros
// until the connection goes), "reset", or its reply bytes (with "+close": then closes).
struct Peer {
    QTcpServer server;
    QByteArray received;

    explicit Peer(const QByteArray& behaviour)
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this, behaviour] {
            QTcpSocket* socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, [this, socket, behaviour] {
                const bool first = received.isEmpty();
                received += socket->readAll();
                if (first)
                    answer(socket, behaviour);
            });
        });
    }
    static void answer(QTcpSocket* socket, const QByteArray& behaviour)
    {
        if (behaviour == "flood") {
            const auto more = [socket] {
                while (socket->bytesToWrite() < (1 << 20))
                    socket->write(QByteArray(1 << 16, '\0'));
            };
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, more);
            more();
        } else if (behaviour == "reset") {
            const linger now = {1, 0};
            ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
            socket->abort();
        } else {
            socket->write(behaviour.chopped(behaviour.endsWith("+close") ? 6 : 0));
            if (behaviour.endsWith("+close"))
                socket->disconnectFromHost();
        }
    }
};

} // namespace

class tst_ShellBounds : public QObject
{
    Q_OBJECT
private slots:
    void send_data();
    void send();
    void files_data();
    void files();
    void stopWhileStandardInputIsAwaited();
    void closedStreamsAreOpenedOnDevNull();
};

void tst_ShellBounds::send_data()
{
    QTest::addColumn<QByteArray>("peer");
    QTest::addColumn<QString>("redirect");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QStringList two{"X", "Y"};
    const QString x = "[Output]------X\n";
    QTest::newRow("a flood cut, nothing more sent")
        << QByteArray("flood") << QString() << two << 1 << QByteArray("X")
        << x + "[Input]------" + QStringLiteral("<00>").repeated(1000) + "\n"
        << "Reply to command 1 cut after 1000 bytes: X\n";
    QTest::newRow("closed before the reply")
        << QByteArray("+close") << QString() << two << 2 << QByteArray("X") << x
        << "Connection closed by the peer\n";
    QTest::newRow("reset before the reply")
        << QByteArray("reset") << QString() << two << 2 << QByteArray("X") << x
        << "Connection reset by the peer\n";
    QTest::newRow("closed with the last reply")
        << QByteArray("OK+close") << QString() << QStringList{"X"} << 0 << QByteArray("X")
        << x + "[Input]------OK\n"
        << QString();
    const QByteArray line(16 << 20, 'A');
    QTest::newRow("a reply past a line goes on in the next")
        << line + "BC+close" << QString() << QStringList{"--max-reply", "20000000", "X"} << 0
        << QByteArray("X") << x + "[Input]------" + line + "\n[Input]+-----BC\n"
        << QString();
    QTest::newRow("a reply of a line exactly, answered once nothing goes on")
        << line << QString() << QStringList{"--max-reply", "20000000", "X"} << 0 << QByteArray("X")
        << x + "[Input]------" + line + "\n"
        << QString();
    QTest::newRow("C1 controls as tokens, on both streams")
        << QByteArray("\x9b[31m\xa0+close") << QString()
        << QStringList{QString::fromUtf8("Z\u0085")} << 0 << QByteArray("Z\x85")
        << QString::fromUtf8("[Output]------Z<85>\n[Input]------<9B>[31m\u00a0\n") << QString();
    QTest::newRow("C0 controls too")
        << QByteArray("OK+close") << QString() << QStringList{"\x1b[2J\t\x7f"} << 0
        << QByteArray("\x1b[2J\t\x7f") << "[Output]------<1B>[2J<09><7F>\n[Input]------OK\n"
        << QString();
    QTest::newRow("a full disk") << QByteArray("OK") << ">/dev/full" << two << 2 << QByteArray()
                                 << QString()
                                 << "Standard output not written: No space left on device\n";
    QTest::newRow("standard output closed")
        << QByteArray("OK") << ">&-" << two << 2 << QByteArray() << QString()
        << "Standard output not written: Bad file descriptor\n";
    QTest::newRow("standard input and output closed")
        << QByteArray("OK") << "<&- >&-" << two << 2 << QByteArray() << QString()
        << "Standard output not written: Bad file descriptor\n";
    QTest::newRow("the reader gone")
        << QByteArray(1 << 20, 'A') + "+close"
        << "| head -c1 >/dev/null" << two << 141 << QByteArray("X") << QString() << QString();
}

void tst_ShellBounds::send()
{
    QFETCH(QByteArray, peer);
    QFETCH(QString, redirect);
    QFETCH(QStringList, commands);
    Peer controller(peer);
    QProcess shell;
    shell.start("bash",
                QStringList{"-c", "set -o pipefail; \"$0\" \"$@\" " + redirect,
                            QStringLiteral(ACCESSTERM_PROGRAM), "send", "--tcp",
                            QStringLiteral("127.0.0.1:%1").arg(controller.server.serverPort()),
                            "--max-reply", "1000"} +
                    commands);
    QVERIFY(QTest::qWaitFor([&] { return shell.state() == QProcess::NotRunning; }, 20000));
    QTEST(shell.exitCode(), "status");
    QTEST(QString::fromUtf8(shell.readAllStandardOutput()), "out");
    QTEST(QString::fromUtf8(shell.readAllStandardError()), "err");
    QFETCH(QByteArray, sent);
    QTRY_COMPARE(controller.received, sent);
}

// Each script runs in a scratch folder with the program as $0 and a peer that answers as $1.
void tst_ShellBounds::files_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err"); // what standard error starts with
    QTest::addColumn<int>("lines");   // of standard error; -1: not counted
    const QString check = "\"$0\" check --tcp \"$1\" ";
    const QString rules = "printf 'A = B\\n' >r; \"$0\" answer --listen 0 --for 5 --answers ";
    const auto row = [](const char* name, const QString& script, int status, const QString& err,
                        int lines = 1) { QTest::newRow(name) << script << status << err << lines; };
    row("a device for the check file", check + "/dev/zero", 2,
        "/dev/zero: a device, not a regular file\n");
    row("a device for the command list", ": >c; " + check + "--commands /dev/zero c", 2,
        "/dev/zero: a device, not a regular file\n");
    row("a device for the rules", rules + "/dev/zero", 2,
        "/dev/zero: a device, not a regular file\n");
    row("a named pipe for the rules", "mkfifo p; " + rules + "p", 2,
        "p: a named pipe, not a regular file\n");
    row("a named pipe for the window's command list",
        "ln \"$0\" a 2>/dev/null || cp \"$0\" a; mkfifo Commands.TXT; echo 'wait 1' >c; "
        "./a check --tcp \"$1\" c",
        0, "%1/Commands.TXT: a named pipe, not a regular file\n");
    row("standard input past 64 MiB", "yes 'send AB<0D>' | " + check + "-", 2,
        "standard input: more than the 64 MiB read at most\n");
    row("a file past 64 MiB", "truncate -s 65M f; " + check + "f", 2,
        "f: 68157440 bytes, more than the 64 MiB read at most\n");
    row("a line past 1 MiB", "{ printf 'send '; head -c 1048576 /dev/zero; } >f; " + check + "f", 2,
        "f line 1: longer than 1 MiB\n");
    row("controls in a line refused", "printf 'bogus\\033]0;T\\007\\n' >f; " + check + "f", 2,
        "f line 1: unknown step \"bogus<1B>]0;T<07>\"\n");
    row("controls in the first word", "\"$0\" $'\\e]0;T\\a'", 2,
        "accessterm: \"<1B>]0;T<07>\" is not a command", -1); // the usage follows
    QString told;
    for (int n = 1; n <= 20; ++n)
        told += QStringLiteral("f line %1: unknown step \"%1\"\n").arg(n);
    row("a file of other text", "seq 100 >f; " + check + "f", 2,
        told + "f: 80 more lines refused\n", 21);
    row("check to a full disk", "echo 'send A' >f; " + check + "f >/dev/full", 2,
        "Standard output not written: No space left on device\n");
    row("answer with no output", rules + "r >&-", 2,
        "Standard output not written: Bad file descriptor\n");
}

void tst_ShellBounds::files()
{
    QFETCH(QString, script);
    Peer controller("OK");
    QTemporaryDir dir;
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start("bash", {"-c", script, QStringLiteral(ACCESSTERM_PROGRAM),
                         QStringLiteral("127.0.0.1:%1").arg(controller.server.serverPort())});
    QVERIFY(QTest::qWaitFor([&] { return shell.state() == QProcess::NotRunning; }, 20000));
    QTEST(shell.exitCode(), "status");
    const QString said = QString::fromUtf8(shell.readAllStandardError());
    QFETCH(QString, err);
    QVERIFY2(said.startsWith(err.replace("%1", dir.path())), qPrintable(said));
    QFETCH(int, lines);
    if (lines >= 0)
        QCOMPARE(int(said.count('\n')), lines);
    QVERIFY(shell.readAllStandardOutput().count('\x1b') == 0);
}

// A stop is heard while standard input has not ended, from the moment it can be caught.
void tst_ShellBounds::stopWhileStandardInputIsAwaited()
{
    QProcess shell;
    shell.start(ACCESSTERM_PROGRAM, {"check", "--tcp", "127.0.0.1:9", "-"});
    QVERIFY(shell.waitForStarted());
    const auto caught = [&shell] {
        QFile status(QStringLiteral("/proc/%1/status").arg(shell.processId()));
        const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : "";
        const QByteArray mask = text.mid(text.indexOf("SigCgt:") + 7, 17).trimmed();
        return (mask.toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    };
    QTRY_VERIFY(caught());
    shell.write("send A\n");
    shell.terminate();
    QVERIFY(shell.waitForFinished(5000));
    QCOMPARE(shell.exitCode(), 128 + SIGTERM);
}

void tst_ShellBounds::closedStreamsAreOpenedOnDevNull()
{
    Peer controller("OK");
    QProcess shell;
    shell.start("bash", {"-c", "exec \"$0\" listen --tcp \"$1\" <&- >&- 2>&-",
                         QStringLiteral(ACCESSTERM_PROGRAM),
                         QStringLiteral("127.0.0.1:%1").arg(controller.server.serverPort())});
    QVERIFY(shell.waitForStarted());
    // Before anything of the program's could take one of them.
    const QString fd = QStringLiteral("/proc/%1/fd/%2").arg(shell.processId());
    QTRY_COMPARE(QFile::symLinkTarget(fd.arg(0)) + QFile::symLinkTarget(fd.arg(1)) +
                     QFile::symLinkTarget(fd.arg(2)),
                 "/dev/null/dev/null/dev/null");
    shell.terminate();
    QVERIFY(shell.waitForFinished(5000));
}

QTEST_GUILESS_MAIN(tst_ShellBounds)
#include "tst_shellbounds.moc"
