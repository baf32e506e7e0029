// accessterm answer standing in for a controller, and accessterm check and the window's link run
// against it: each a real process on loopback, or on a pseudo-terminal that echoes.
#include "answers/AnswerLoop.h"
#include "support/PtyPair.h"
#include "support/ShellProcess.h"
#include "support/Terminal.h"

#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <optional>

namespace
{

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& text)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

const QByteArray kRules = "# a door controller\n"
                          "^<02>S(\\d\\d)<03>$ = <06>$1\n"
                          "^OPEN<0D>$ = <02>OK<03>\n";

// Starts the stand-in on a free loopback port and gives the port once it answers.
int StartStandIn(ShellProcess& standIn, const char* on = "")
{
    if (!standIn.outputHas(" rules from "))
        return 0;
    const QRegularExpressionMatch port =
        QRegularExpression("Answering on " + QString::fromLatin1(on) + "127\\.0\\.0\\.1:(\\d+)")
            .match(standIn.output);
    return port.captured(1).toInt();
}

// The port a process names on standard error, once it has.
int PortOnError(ShellProcess& process, const QString& pattern)
{
    QString seen;
    QRegularExpressionMatch match;
    (void)QTest::qWaitFor([&] {
        return (match = QRegularExpression(pattern).match(seen += process.err())).hasMatch();
    });
    return match.captured(1).toInt();
}

} // namespace

class tst_StandIn : public QObject
{
    Q_OBJECT
private slots:
    void checkAgainstStandIn();
    void checkValuesBothWays();
    void windowAgainstStandIn();
    void oneConnectionAtATime();
    void echoingLineEndsTheLoop();
    void stopWhileAnswering();
    void portInUse();
    void listenForTheController();
    void udpAgainstTheStandIn();

private:
    QTemporaryDir m_dir;
};

void tst_StandIn::checkAgainstStandIn()
{
    const QString rules = Write(m_dir, "rules.txt", kRules);
    const QString commands = Write(m_dir, "list.txt", "Open = OPEN<0D>\n");
    const QString script = Write(m_dir, "check.txt",
                                 "use open\n"
                                 "expect ^<02>OK<03>$\n"
                                 "send <02>S42<03>\n"
                                 "expect <15> within 400\n"
                                 "send <02>S7<03>\n"
                                 "expect . within 300\n");
    ShellProcess standIn({"answer", "--listen", "0", "--answers", rules, "--gap", "20"});
    const int port = StartStandIn(standIn);
    QVERIFY2(port > 0, qPrintable(standIn.output + standIn.err()));
    ShellProcess check({"check", "--tcp", QStringLiteral("127.0.0.1:%1").arg(port), "--commands",
                        commands, "--repeat", "2", script});
    QCOMPARE(check.status(), 1);
    const QString once = QStringLiteral("[Output]------OPEN<0D>\n"
                                        "[Input]------<02>OK<03>\n"
                                        "ok %1 line 2: expect ^<02>OK<03>$\n"
                                        "[Output]------<02>S42<03>\n"
                                        "[Input]------<06>42\n"
                                        "not ok %2 line 4: expect <15> within 400: got <06>42\n"
                                        "[Output]------<02>S7<03>\n"
                                        "not ok %3 line 6: expect . within 300: no reply within "
                                        "300 ms\n");
    QCOMPARE(QString::fromUtf8(check.process.readAllStandardOutput()),
             once.arg(1).arg(2).arg(3) + once.arg(4).arg(5).arg(6) + "2 passed, 4 failed\n");
    // The stand-in marks each answer with its rule and leaves the unmatched burst unanswered.
    QVERIFY(standIn.outputHas("[Output]------<06>42  (line 2)"));
    QVERIFY(standIn.outputHas("[Input]------<02>S7<03>"));
    standIn.process.terminate();
    QCOMPARE(standIn.status(), 0);
    QVERIFY(!standIn.output.contains("[Output]------<06>7"));
}

void tst_StandIn::checkValuesBothWays()
{
    const QString rules =
        Write(m_dir, "checked.txt", "^<02>S(\\d\\d)<03> = <02>A$1<03>\n^T = <02>A42<03>\n");
    const QString script =
        Write(m_dir, "checked-script.txt", "send <02>S42<03>\nwait 20\nexpect ^<02>A within 400\n");
    const QString wrong = Write(m_dir, "wrong-script.txt", "send T\nexpect ^<02>A within 400\n");
    ShellProcess standIn({"answer", "--listen", "0", "--answers", rules, "--checksum", "bcc"});
    const int port = StartStandIn(standIn);
    QVERIFY(port > 0);
    const auto check = [port](const QString& name, const QString& file) {
        return QStringList{"check",      "--tcp", QStringLiteral("127.0.0.1:%1").arg(port),
                           "--checksum", name,    file};
    };
    // Both sides add the value where it goes and find it right.
    std::optional<ShellProcess> run;
    run.emplace(check("bcc", script));
    QCOMPARE(run->status(), 0);
    QCOMPARE(QString::fromUtf8(run->process.readAllStandardOutput()),
             QStringLiteral("[Output]------<02>S42<03><56>\n[Input]------<02>A42<03>D\n"
                            "ok 1 line 3: expect ^<02>A within 400\n1 passed, 0 failed\n"));
    QCOMPARE(run->err(), QString());
    // A frame whose value is wrong is left unanswered, as a controller drops it.
    run.emplace(check("sum8", script));
    QCOMPARE(run->status(), 1);
    QVERIFY(standIn.outputHas(QStringLiteral("Not answered, its check value fails: bcc BE, "
                                             "expected 56")));
    // A reply whose value is wrong matches nothing, and says why (a bare T carries no bcc).
    run.emplace(check("sum8", wrong));
    QCOMPARE(run->status(), 1);
    QCOMPARE(run->err(), QStringLiteral("Line 2: a reply fails its check value: sum8 44, expected "
                                        "AC\n"));
    QVERIFY(QString::fromUtf8(run->process.readAllStandardOutput())
                .contains(QStringLiteral("not ok 1 line 2: expect ^<02>A within 400: got "
                                         "<02>A42<03>D\n")));
}

void tst_StandIn::windowAgainstStandIn()
{
    const QString rules = Write(m_dir, "window.txt", kRules);
    ShellProcess standIn({"answer", "--listen", "0", "--answers", rules});
    const int port = StartStandIn(standIn);
    QVERIFY(port > 0);
    Terminal t;
    t.controller.Option1_Click();
    t.fields.host = "127.0.0.1";
    t.fields.port = QString::number(port);
    t.controller.CmdConnect_Click();
    QTRY_COMPARE(t.log.line(t.log.count() - 1), "Connect Succeed");
    t.fields.command = "<02>S05<03>";
    t.controller.Command3_Click();
    QTRY_COMPARE(t.log.line(t.log.count() - 1), "[Input]------<06>05");
    QVERIFY(standIn.outputHas("[Output]------<06>05  (line 2)"));
}

void tst_StandIn::oneConnectionAtATime()
{
    const QString rules = Write(m_dir, "one.txt", "A = B\n");
    ShellProcess standIn({"answer", "--listen", "127.0.0.1:0", "--answers", rules, "--for", "3"});
    const int port = StartStandIn(standIn);
    QVERIFY(port > 0);
    QTcpSocket first;
    QTcpSocket second;
    QTcpSocket again;
    first.connectToHost(QHostAddress::LocalHost, quint16(port));
    QVERIFY(standIn.outputHas("Connected 127.0.0.1:"));
    // Another address is refused; the same one again replaces the first, as a controller does.
    second.bind(QHostAddress("127.0.0.2"));
    const quint16 secondPort = second.localPort();
    second.connectToHost(QHostAddress::LocalHost, quint16(port));
    QTRY_COMPARE(second.state(), QAbstractSocket::UnconnectedState);
    QVERIFY(standIn.outputHas(QStringLiteral("Refused 127.0.0.2:%1: busy").arg(secondPort)));
    again.connectToHost(QHostAddress::LocalHost, quint16(port));
    QVERIFY(again.waitForConnected(5000));
    QVERIFY(standIn.outputHas(QStringLiteral("Connected 127.0.0.1:%1").arg(again.localPort())));
    QTRY_COMPARE(first.state(), QAbstractSocket::UnconnectedState);
    again.write("A");
    QByteArray got;
    QTRY_COMPARE(got += again.readAll(), QByteArray("B"));
    // --for ends it, with the connection still open.
    QCOMPARE(standIn.status(), 0);
}

void tst_StandIn::echoingLineEndsTheLoop()
{
    PtyPair line;
    const QString rules = Write(m_dir, "echo.txt", "PING = PONG\nPONG = PING\n");
    ShellProcess standIn(
        {"answer", "--serial", line.slavePath(), "--answers", rules, "--gap", "5"});
    QVERIFY(standIn.outputHas(" rules from "));
    // The far end echoes all it gets: every answer comes back to be answered again.
    QVERIFY(line.write("PING"));
    int answers = 0;
    QVERIFY(QTest::qWaitFor(
        [&] {
            const QByteArray got = line.readExactly(4);
            answers += got == "PING" || got == "PONG";
            return !line.write(got) ||
                   standIn.outputHas("Rules on lines 1 and 2 answered their own answers, sent "
                                     "back by the peer, 5 times in a row: paused for 10 seconds",
                                     0);
        },
        10000));
    QCOMPARE(answers, 1 + AnswerLoop::kFedBack);
}

// Stopped while an answer is still on its way: it ends as asked, and the socket goes quietly.
void tst_StandIn::stopWhileAnswering()
{
    const QString rules = Write(m_dir, "long.txt", "A = " + QByteArray(8 << 20, 'B') + "\n");
    ShellProcess standIn({"answer", "--listen", "0", "--answers", rules});
    const int port = StartStandIn(standIn);
    QTcpSocket host; // reads nothing
    host.connectToHost(QHostAddress::LocalHost, quint16(port));
    QVERIFY(host.waitForConnected(5000));
    host.write("A");
    QVERIFY(standIn.outputHas("(line 1)"));
    standIn.process.terminate();
    QCOMPARE(standIn.status(), 0);
}

void tst_StandIn::portInUse()
{
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost));
    const QString rules = Write(m_dir, "taken.txt", "A = B\n");
    ShellProcess standIn(
        {"answer", "--listen", QString::number(taken.serverPort()), "--answers", rules});
    QCOMPARE(standIn.status(), 2);
    QVERIFY(standIn.err().startsWith("Cannot listen on 127.0.0.1:"));
}

void tst_StandIn::listenForTheController()
{
    ShellProcess listen({"listen", "--tcp-listen", "0"});
    const int port = PortOnError(listen, "Listening on 127\\.0\\.0\\.1:(\\d+)\\n");
    QVERIFY(port > 0);
    // The controller calls, closes, and calls again: listening goes on.
    for (const char* event : {"OPEN", "CARD"}) {
        QTcpSocket controller;
        controller.connectToHost(QHostAddress::LocalHost, quint16(port));
        QVERIFY(controller.waitForConnected(5000));
        controller.write(event);
        QVERIFY(listen.outputHas(QStringLiteral("[Input]------") + event + '\n'));
        controller.disconnectFromHost();
    }
    QVERIFY(QTest::qWaitFor([&] { return listen.err().contains("Closed 127.0.0.1:"); }));
    listen.process.terminate();
    QCOMPARE(listen.status(), 0);
    // Nobody within the time given.
    ShellProcess nobody({"send", "--tcp-listen", "127.0.0.1:0", "--accept-wait", "200", "A"});
    QCOMPARE(nobody.status(), 1);
    QVERIFY(nobody.err().endsWith("Nobody connected within 200 ms\n"));
}

void tst_StandIn::udpAgainstTheStandIn()
{
    const QString rules = Write(m_dir, "udp.txt", "^PING$ = PONG\n^E$ = <00>\n");
    ShellProcess standIn({"answer", "--udp", "0", "--answers", rules});
    const int port = StartStandIn(standIn, "UDP ");
    QVERIFY(port > 0);
    const QString to = QStringLiteral("127.0.0.1:%1").arg(port);
    ShellProcess send({"send", "--udp", to, "PING", "E"});
    QCOMPARE(send.status(), 0);
    QCOMPARE(send.out(),
             "[Output]------PING\n[Input]------PONG\n[Output]------E\n[Input]------<00>\n");
    // Each datagram is answered to its sender, whoever that is.
    QUdpSocket other;
    QVERIFY(other.bind(QHostAddress("127.0.0.2")));
    other.writeDatagram("PING", QHostAddress::LocalHost, quint16(port));
    QTRY_VERIFY(other.hasPendingDatagrams());
    QCOMPARE(other.receiveDatagram().data(), "PONG");
    const QString from = QStringLiteral("  (from 127.0.0.2:%1)").arg(other.localPort());
    QVERIFY(standIn.outputHas("[Input]------PING" + from));
    // listen shows a sender that is not the controller after the reply.
    ShellProcess listen({"listen", "--udp", to, "--local-port", "0", "--for", "10"});
    const int local = PortOnError(listen, "UDP on local port (\\d+),");
    QVERIFY(local > 0);
    other.writeDatagram("", QHostAddress::LocalHost, quint16(local));
    QVERIFY(listen.outputHas("[Input]------" + from + '\n'));
}

QTEST_MAIN(tst_StandIn)
#include "tst_standin.moc"
