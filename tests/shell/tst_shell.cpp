// accessterm send and listen, run as a script runs them (no display, no platform chosen),
// against a loopback peer and a pseudo-terminal.
#include "support/PtyPair.h"
#include "support/ShellProcess.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace
{

using Shell = ShellProcess;

// A loopback peer that answers the n-th write it gets with replies[n], written in pieces (split
// at '|') 40 ms apart, well within one settle wait; an empty reply is silence.
struct Peer {
    QTcpServer server;
    QTcpSocket* socket = nullptr;
    QByteArray received;
    QByteArrayList replies;

    Peer()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, [this] {
                received += socket->readAll();
                const QByteArrayList pieces =
                    (replies.isEmpty() ? QByteArray() : replies.takeFirst()).split('|');
                for (int i = 0; i < pieces.size(); ++i)
                    QTimer::singleShot(40 * i, socket,
                                       [this, piece = pieces[i]] { socket->write(piece); });
            });
        });
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(server.serverPort()); }
};

} // namespace

class tst_Shell : public QObject
{
    Q_OBJECT
private slots:
    void send_data();
    void send();
    void refusals_data();
    void refusals();
    void sendOverSerial_data();
    void sendOverSerial();
    void listenEndsWhenTheDeviceGoes();
    void sendStoppedBySignal();
    void listenEnds_data();
    void listenEnds();
};

void tst_Shell::send_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArrayList>("replies");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("a reply in pieces is one line")
        << QStringList{"AB<02>C<0D>"}
        << QByteArrayList{"\x02"
                          "AB|\x03\r|\n"}
        << QByteArray("AB\x02"
                      "C\r")
        << 0 << "[Output]------AB<02>C<0D>\n[Input]------<02>AB<03><0D><0A>\n"
        << QString();
    QTest::newRow("hex, the command trimmed of blanks")
        << QStringList{"--hex", "  Q\t "} << QByteArrayList{QByteArray("\0A|\xff", 4)}
        << QByteArray("Q\t") << 0 << "[Output]------Q<09>\n[Input]------00 41 FF\n"
        << QString();
    QTest::newRow("no reply to one, the next still sent")
        << QStringList{"--wait", "300", "one", "two"} << QByteArrayList{"", "OK"}
        << QByteArray("onetwo") << 1 << "[Output]------one\n[Output]------two\n[Input]------OK\n"
        << "No reply to command 1: one\n";
    QTest::newRow("no wait at all") << QStringList{"--wait", "0", "one"} << QByteArrayList{""}
                                    << QByteArray("one") << 1 << "[Output]------one\n"
                                    << "No reply to command 1: one\n";
    QTest::newRow("a pattern each, a reply that does not match")
        << QStringList{"--expect", "^O", "--expect", "^X", "one", "two"}
        << QByteArrayList{"OK", "N O"} << QByteArray("onetwo") << 1
        << "[Output]------one\n[Input]------OK\n[Output]------two\n[Input]------N<20>O\n"
        << "Reply to command 2 does not match \"^X\": N<20>O\n";
    QTest::newRow("a refused command: nothing sent")
        << QStringList{"fine", "X<0"} << QByteArrayList{"OK"} << QByteArray() << 2 << QString()
        << "Command 2: Nothing sent: \"<\" at position 2 is not closed by \">\"\n";
}

void tst_Shell::send()
{
    QFETCH(QStringList, arguments);
    Peer peer;
    QFETCH(QByteArrayList, replies);
    peer.replies = replies;
    Shell shell(QStringList{"send", "--tcp", peer.address()} + arguments);
    QTEST(shell.status(), "status");
    QTEST(shell.out(), "out");
    QTEST(shell.err(), "err");
    // What went out may reach the peer after the program has ended.
    QFETCH(QByteArray, sent);
    QTRY_COMPARE(peer.received, sent);
}

void tst_Shell::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTcpServer gone;
    gone.listen(QHostAddress::LocalHost);
    const QString closed = QStringLiteral("127.0.0.1:%1").arg(gone.serverPort());
    gone.close();
    const auto row = [](const char* name, const char* arguments, int status, const char* says) {
        QTest::newRow(name) << QString::fromLatin1(arguments).split(QLatin1Char(' ')) << status
                            << QString::fromUtf8(says);
    };
    QTest::newRow("connection refused") << QStringList{"send", "--tcp", closed, "X"} << 2
                                        << "Socket Error:10061 Connection refused\n";
    QTest::newRow("the host's brackets come off")
        << QStringList{"send", "--tcp", "[127.0.0.1]" + closed.mid(closed.indexOf(':')), "X"} << 2
        << "Socket Error:10061 Connection refused\n";
    QTest::newRow("listen, connection refused")
        << QStringList{"listen", "--tcp", closed} << 2 << "Socket Error:10061 Connection refused\n";
    row("unknown option", "send --tcp h:1 --bogus X", 2, "Unknown option 'bogus'");
    row("missing value", "send --tcp", 2, "Missing value after '--tcp'");
    row("two links", "send --tcp h:1 --serial 1 X", 2,
        "give one of --tcp, --tcp-listen, --udp and --serial");
    row("a port without its host", "send --tcp 4001 X", 2, "--tcp wants HOST:PORT");
    row("port 16 is a port", "send --serial 16 X", 2, "Comport 16");
    row("seconds are for listen", "send --tcp h:1 --for 5 X", 2, "--for is not for send");
    row("patterns: one or one each", "send --tcp h:1 --expect a --expect b X", 2,
        "give --expect once, or once for each COMMAND");
    row("a pattern refused", "send --tcp h:1 --expect ( X", 2,
        "--expect \"(\": pattern does not compile: missing closing parenthesis");
    row("no check file", "check --tcp h:1 /nonexistent/c", 2, "/nonexistent/c: No such file");
    row("not a command", "frobnicate", 2,
        "\"frobnicate\" is not a command: the commands are send, listen, check, answer, "
        "checksum, protocol and decode\n");
    row("Qt's -platform is the window's", "-platform offscreen", 0, "shown_ns: ");
    QTest::newRow("no display")
        << QStringList() << 2
        << "no display to open the window on; without one use "
           "accessterm send, listen, check, answer, checksum, protocol or decode, "
           "or start the window with xvfb-run\n";
    row("a display that does not answer", "-platform xcb -display :4093", 2,
        "accessterm: the display cannot be opened (");
    row("baud read as the box reads it", "send --serial 1 --baud fast X", 2, "Wrong Boad Rate");
    row("no such device", "send --serial /nonexistent/tty X", 2,
        "/nonexistent/tty: No such device");
    row("help", "--help", 0, "Nothing is written to SaveFile.TXT");
    row("version", "--version", 0, "accessterm 1.0\n");
    row("the protocols built in", "protocol list", 0,
        "osdp         OSDP (Open Supervised Device Protocol), built in\n"
        "modbus-rtu   Modbus RTU, built in\nstx-etx-bcc  STX ... ETX + BCC, ASCII text, built "
        "in\n");
}

void tst_Shell::refusals()
{
    QFETCH(QStringList, arguments);
    Shell shell(arguments);
    QTEST(shell.status(), "status");
    const QString said = shell.out() + shell.err();
    QFETCH(QString, says);
    QVERIFY2(said.contains(says), qPrintable(said));
}

void tst_Shell::sendOverSerial_data()
{
    QTest::addColumn<bool>("byNumber");
    QTest::newRow("port 3 mapped as the window maps it") << true;
    QTest::newRow("a device path") << false;
}

void tst_Shell::sendOverSerial()
{
    QFETCH(bool, byNumber);
    PtyPair line;
    Shell shell({"send", "--serial", byNumber ? "3" : line.slavePath(), "--baud", "9600", "AB<00>"},
                {"ACCESSTERM_COM3=" + line.slavePath()});
    QCOMPARE(line.readExactly(3), QByteArray("AB\0", 3));
    QVERIFY(line.write("\x02OK\x03"));
    QCOMPARE(shell.status(), 0);
    QCOMPARE(shell.out(), "[Output]------AB<00>\n[Input]------<02>OK<03>\n");
}

void tst_Shell::listenEndsWhenTheDeviceGoes()
{
    PtyPair line;
    Shell shell({"listen", "--serial", line.slavePath()});
    QVERIFY(line.write("OK"));
    QTRY_VERIFY(shell.process.canReadLine());
    line.closeMaster();
    QCOMPARE(shell.status(), 2);
    QVERIFY(shell.out().endsWith("[Input]------OK\n"));
    QVERIFY(shell.err().contains("was lost"));
}

void tst_Shell::sendStoppedBySignal()
{
    Peer peer;
    Shell shell({"send", "--tcp", peer.address(), "--wait", "60000", "X"});
    QTRY_COMPARE(peer.received, QByteArray("X"));
    shell.process.terminate();
    QCOMPARE(shell.status(), 128 + 15);
    QTRY_COMPARE(peer.socket->state(), QAbstractSocket::UnconnectedState);
}

void tst_Shell::listenEnds_data()
{
    QTest::addColumn<QString>("end");
    QTest::newRow("the peer closes") << "close";
    QTest::newRow("SIGTERM") << "signal";
    QTest::newRow("time is up") << "--for";
}

void tst_Shell::listenEnds()
{
    QFETCH(QString, end);
    Peer peer;
    QStringList arguments{"listen", "--tcp", peer.address()};
    if (end == QLatin1String("--for"))
        arguments << end << "1.5";
    Shell shell(arguments);
    QTRY_VERIFY(peer.socket != nullptr);
    peer.socket->write("A\r");
    QString out;
    QTRY_VERIFY((out += shell.out()).endsWith(QLatin1Char('\n')));
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}  "
                                               "\\[Input\\]------A<0D>\n$"))
                 .match(out)
                 .hasMatch(),
             qPrintable(out));
    if (end == QLatin1String("signal"))
        shell.process.terminate();
    else if (end == QLatin1String("close"))
        peer.socket->disconnectFromHost();
    QCOMPARE(shell.status(), 0);
    // However it ended, the program closed its end of the connection.
    QTRY_COMPARE(peer.socket->state(), QAbstractSocket::UnconnectedState);
}

QTEST_GUILESS_MAIN(tst_Shell)
#include "tst_shell.moc"
