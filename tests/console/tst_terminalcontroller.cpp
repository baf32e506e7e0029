// The controller along the operator's roads, with the real links and log: commands out, replies in.
#include "support/TerminalRoads.h"

class tst_TerminalController : public QObject, private TerminalRoads
{
    Q_OBJECT

private slots:
    void init() { setUp(); }

    void wholeRoadOverTcp()
    {
        // An address is connected to at once, a name is looked up first.
        QTcpSocket* peer = nullptr;
        for (const auto& [host, state] :
             {std::pair(" 127.0.0.1 ", "Connectin"), std::pair("localhost", "ResolvingHost")}) {
            setUp();
            t->fields.host = host;
            t->controller.CmdConnect_Click();
            send("AB<02>C<0D>");
            QVERIFY(peer = acceptPeer(0));
            QCOMPARE(lines(),
                     QStringList({"Close Comport", "Connecting.....", "[Output]------AB<02>C<0D>",
                                  QString("Connect State:") + state, "Connect Succeed"}));
        }
        send("AB<02>C<0D>");
        QCOMPARE(Received(peer, 5), "AB\002C\r");
        QCOMPARE(lines().last(), "[Output]------AB<02>C<0D>");
        // A reply in pieces within the settle wait is one line.
        peer->write("\002A");
        QTimer::singleShot(80, peer, [peer] { peer->write("B\003"); });
        QTimer::singleShot(160, peer, [peer] { peer->write("\r\n"); });
        QTRY_COMPARE(lines().last(), "[Input]------<02>AB<03><0D><0A>");
        QVERIFY(!QFile::exists(CaptureFile()));
        // Every byte value both ways.
        const QByteArray bytes = EveryByte();
        send(Tokens(bytes));
        QCOMPARE(Received(peer, 256), bytes);
        peer->write(bytes);
        QTRY_COMPARE(lines().last(), "[Input]------" + Rendered(bytes));
        const QStringList names =
            QString::fromUtf8("Closed|Open|Listening....|Connection Pending|ResolvingHost|"
                              "HostResolved|Connectin|Connected|這台電腦正在關閉連線|Error")
                .split('|');
        for (int state = -1; state <= 10; ++state)
            QCOMPARE(TcpLink::StateName(state), names.value(state));
    }

    void keypadPairsDigitsAndSendBeforeAnyChoice()
    {
        t->fields.command = "X";
        for (int index : {1, 2, 3})
            t->controller.cmdNumber_Click(index);
        QCOMPARE(t->fields.command, "X<12>");
        // The pending digit survives a send and a clear. Before any choice, a send goes nowhere.
        t->controller.Command3_Click();
        QCOMPARE(lines(), QStringList({"[Output]------X<12>", "Connect State:Closed"}));
        QCOMPARE(t->controller.transportMode(), 0);
        t->controller.cmdClear_Click();
        QCOMPARE(t->log.count(), 0);
        for (int index : {4, 0, 13, 15, 10, 16, -1}) // no key beyond "F"
            t->controller.cmdNumber_Click(index);
        QCOMPARE(t->fields.command, "X<12><34><0D><FA>");
        QVERIFY(t->controller.firstDigit().isEmpty());
    }

    void clearScreenLetsGoOfTheLines()
    {
        const QString line = "[Input]------" + QString(1 << 20, 'A');
        t->log.AddLine(line);
        QTRY_COMPARE(t->log.model()->rowCount(), 1);
        t->controller.cmdClear_Click();
        QVERIFY(line.isDetached()); // the test's own copy is the only one left
    }

    void commandsThatCannotGo()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        // clang-format off
        const char* const cases[][2] = {{"   ", "the command is empty"}, {"AB<0", "position 3"},
                                        {"<", "position 1"}, {"A中", "position 2"}};
        // clang-format on
        for (const auto& [command, reason] : cases) {
            const int before = int(lines().size());
            send(QString::fromUtf8(command));
            QCOMPARE(lines().at(before), "[Output]------" + QString::fromUtf8(command).trimmed());
            QVERIFY(lines().size() == before + 2 && lines().last().startsWith("Nothing sent: ") &&
                    lines().last().contains(reason));
        }
        // The connection is still good: a following command goes out alone.
        send("OK");
        QCOMPARE(Received(peer, 2), "OK");
    }

    void repliesKeepTheirBytesAndAnswerTime()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        peer->write("early"); // nothing written on the connection yet
        QTRY_COMPARE(lines().last(), "[Input]------early");
        QCOMPARE(last().answerMs(), -1);
        send("AB<02>C<0D>");
        QCOMPARE(last().bytes(), "AB\002C\r");
        // The peer answers 200 ms after the command has reached it.
        QCOMPARE(Received(peer, 5), "AB\002C\r");
        const QByteArray reply = QByteArray::fromHex("0280818D9FE9413C30443E0D03");
        QTimer::singleShot(200, peer, [peer, reply] { peer->write(reply); });
        QTRY_COMPARE(last().bytes(), reply);
        QVERIFY2(last().answerMs() >= 200 && last().answerMs() < 500,
                 qPrintable(QString::number(last().answerMs())));
        // A new connection has no write of its own yet.
        peer = connectPeer();
        peer->write("x");
        QTRY_COMPARE(lines().last(), "[Input]------x");
        QCOMPARE(last().answerMs(), -1);
    }
};

QTEST_MAIN(tst_TerminalController)
#include "tst_terminalcontroller.moc"
