// accessterm send --repeat on the real program, against a loopback peer that drops every tenth
// reply and spoils every seventh check value; several commands in rounds; what ends it.
#include "support/ShellProcess.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace
{

// Answers each command (a letter and its XOR, the letter again) with "OK" and its XOR, but not
// the tenth ones, and with a wrong XOR the seventh ones; closes after closeAfter commands.
struct Peer {
    QTcpServer server;
    QTcpSocket* socket = nullptr;
    QByteArray received;
    int commands = 0;
    int closeAfter = -1;

    Peer()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, [this] {
                for (received += socket->readAll(); received.size() >= 2; received.remove(0, 2)) {
                    if (++commands % 10 != 0)
                        socket->write(commands % 7 == 0 ? "OK\x05" : "OK\x04");
                    if (commands == closeAfter)
                        socket->disconnectFromHost();
                }
            });
        });
    }
    QStringList arguments(const QStringList& more) const
    {
        return QStringList{"send", "--tcp", QStringLiteral("127.0.0.1:%1").arg(server.serverPort()),
                           "--checksum", "xor"} +
               more;
    }
};

} // namespace

class tst_ShellRepeat : public QObject
{
    Q_OBJECT

private slots:
    void countsMatchWhatThePeerDid()
    {
        Peer peer;
        ShellProcess shell(peer.arguments({"--repeat", "30", "--every", "100", "S"}));
        // Waited for in an event loop of its own, so that the peer answers at once.
        QSignalSpy finished(&shell.process, &QProcess::finished);
        QVERIFY(finished.wait(30000));
        QCOMPARE(shell.status(), 1);
        const QStringList out = shell.out().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(out.filter("[Output]------S<53>").size(), 30);
        QCOMPARE(out.filter("[Input]------OK").size(), 27);
        QVERIFY2(out.last().startsWith("Repeat done: 30 sent, 23 answered, 3 without a reply "
                                       "within 100 ms, 4 failed their check value, 0 not "
                                       "matched, 0 skipped; answer "),
                 qPrintable(out.last()));
        const QStringList err = shell.err().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(err.mid(0, 3), QStringList({"Repeat 7: failed its check value: xor 05, "
                                             "expected 04",
                                             "Repeat 10: no reply within 100 ms",
                                             "Repeat 14: failed its check value: xor 05, "
                                             "expected 04"}));
        QCOMPARE(err.size(), 7);
        QCOMPARE(peer.commands, 30);
    }

    void roundsOfSeveralCommands()
    {
        Peer peer;
        ShellProcess shell(
            peer.arguments({"--repeat", "2", "--every", "reply", "--expect", "^OK", "A", "B"}));
        QCOMPARE(shell.status(), 0);
        const QStringList out = shell.out().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(out.filter("[Output]").join('|'), "[Output]------A<41>|[Output]------B<42>|"
                                                   "[Output]------A<41>|[Output]------B<42>");
        QVERIFY2(out.last().startsWith("Repeat done: 4 sent, 4 answered, 0 without a reply within "
                                       "1000 ms"),
                 qPrintable(out.last()));
    }

    void whatEndsIt_data()
    {
        QTest::addColumn<QStringList>("more");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("the first failure")
            << QStringList{"--stop-on-failure"} << 1
            << "Repeat stopped after 7 of 1000: stopped at the first failure, repeat 7: failed "
               "its check value: xor 05, expected 04; 7 sent, 6 answered";
        QTest::newRow("a signal") << QStringList{} << 143
                                  << "Repeat stopped after 3 of 1000: signal 15; 3 sent";
        QTest::newRow("the peer") << QStringList{"--wait", "50"} << 2
                                  << "Repeat stopped after 4 of 1000: Connection closed by the "
                                     "peer; 4 sent, 4 answered";
    }
    void whatEndsIt()
    {
        QFETCH(QStringList, more);
        QFETCH(int, status);
        QFETCH(QString, verdict);
        Peer peer;
        if (status == 2)
            peer.closeAfter = 4;
        ShellProcess shell(peer.arguments(QStringList{"--repeat", "1000", "--every", "50"} + more +
                                          QStringList{"S"}));
        if (status == 143) {
            QVERIFY(QTest::qWaitFor([&] { return peer.commands == 3; }));
            shell.process.terminate();
        }
        QCOMPARE(shell.status(), status);
        const QString last = shell.out().split('\n', Qt::SkipEmptyParts).last();
        QVERIFY2(last.startsWith(verdict), qPrintable(last));
    }

    void aCheckFileFailsOnAReplyNoStepAwaited()
    {
        // The seventh reply, to a send no expectation follows, fails its check value: every
        // expectation passes, and the run fails all the same.
        Peer peer;
        QTemporaryDir dir;
        QFile file(dir.filePath("pushed.check"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("send S\nwait 400\nsend S\nexpect ^OK within 1000\n");
        file.close();
        QStringList arguments = peer.arguments({"--repeat", "4", file.fileName()});
        arguments[0] = "check";
        ShellProcess shell(arguments);
        QSignalSpy finished(&shell.process, &QProcess::finished);
        QVERIFY(finished.wait(30000));
        QCOMPARE(shell.status(), 1);
        QVERIFY(shell.out().endsWith("4 passed, 0 failed\n"));
        QCOMPARE(peer.commands, 8);
    }

    void refusedBeforeAnythingIsSent()
    {
        Peer peer;
        ShellProcess shell(peer.arguments({"--repeat", "2", "--every", "10", "A", "B<4"}));
        QCOMPARE(shell.status(), 2);
        QCOMPARE(shell.err(), "Command 2: Nothing sent: \"<\" at position 2 is not closed by "
                              "\">\"\n");
        QCOMPARE(peer.commands, 0);
    }
};

QTEST_MAIN(tst_ShellRepeat)
#include "tst_shellrepeat.moc"
