// accessterm send against peers that flood, close and reset, and with its standard streams full,
// closed or read by a reader that goes away; run by bash as a script runs it.
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

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
