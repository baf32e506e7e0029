// The controller driven with the real links, a loopback TCP peer and a pseudo-terminal, along the
// operator's roads and through the faults that come from outside on them.
#include "support/PtyPair.h"
#include "support/Terminal.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

class tst_TerminalController : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QDir(CaptureFile()).removeRecursively();
        QFile::remove(CaptureFile());
        m_terminal = std::make_unique<Terminal>();
        m_server.close(); // a new port: no connection left over from the last test
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        m_terminal->fields.host = QStringLiteral(" 127.0.0.1 ");
        m_terminal->fields.port = QString::number(m_server.serverPort());
    }

    void wholeRoadOverTcp()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        QCOMPARE(lines(), QStringList({"Close Comport", "Connecting.....", "Connect Succeed"}));
        send(QStringLiteral("AB<02>C<0D>"));
        QCOMPARE(Received(peer, 5), QByteArray("AB\x02"
                                               "C\r"));
        QCOMPARE(lines().last(), QStringLiteral("[Output]------AB<02>C<0D>"));
        peer->write("\x02"
                    "AB\x03\r\n");
        QTRY_COMPARE(lines().last(), QStringLiteral("[Input]------<02>AB<03><0D><0A>"));
        QVERIFY(!QFile::exists(CaptureFile()));
    }

    void wholeRoadOverSerial()
    {
        PtyPair pty;
        SetPortDevice(5, pty.slavePath());
        SetPortDevice(6, pty.slavePath());
        m_terminal->fields.portIndex = 4;
        m_terminal->controller.Option2_Click();
        QCOMPARE(m_terminal->controller.transportMode(), 1);
        m_terminal->fields.baud = QStringLiteral("9600");
        m_terminal->controller.Combo2_Click();
        QCOMPARE(lines(), QStringList({"Connect Close", "Open Comport:Com 5",
                                       "Comport Setting:9600,n,8,1"}));
        send(QStringLiteral("  AB<02>C<0D>  "));
        QCOMPARE(pty.readExactly(5), QByteArray("AB\x02"
                                                "C\r"));
        QCOMPARE(lines().last(), QStringLiteral("[Output]------AB<02>C<0D>"));
        QVERIFY(pty.write("\x02"
                          "AB\x03\r\n"));
        QTRY_COMPARE(lines().last(), QStringLiteral("[Input]------<02>AB<03><0D><0A>"));
        QVERIFY(pty.write("2nd"));
        QTRY_COMPARE(lines().last(), QStringLiteral("[Input]------2nd"));
        QCOMPARE(captured(), QByteArray("<02>AB<03><0D><0A>\r\n2nd\r\n"));

        m_terminal->fields.portIndex = 5;
        m_terminal->controller.CmbComPort_Click();
        QCOMPARE(lines().mid(lines().size() - 2),
                 QStringList({"Connect Close", "Open Comport:Com 6"}));
        // Choosing TCP, by Connect or by the option, closes the port.
        m_terminal->controller.CmdConnect_Click();
        QVERIFY(!m_terminal->serial.IsOpen());
        m_terminal->controller.Option2_Click();
        QVERIFY(m_terminal->serial.IsOpen());
        m_terminal->controller.Option1_Click();
        QVERIFY(!m_terminal->serial.IsOpen());
        QCOMPARE(m_terminal->controller.transportMode(), 2);
    }

    void keypadPairsDigitsAndSendBeforeAnyChoice()
    {
        m_terminal->fields.command = QStringLiteral("X");
        for (int index : {1, 2, 3})
            m_terminal->controller.cmdNumber_Click(index);
        QCOMPARE(m_terminal->fields.command, QStringLiteral("X<12>"));
        // The pending digit survives a send and a clear. Before any choice, a send goes nowhere.
        m_terminal->controller.Command3_Click();
        QCOMPARE(lines(), QStringList({"[Output]------X<12>", "Connect State:Closed"}));
        QCOMPARE(m_terminal->controller.transportMode(), 0);
        m_terminal->controller.cmdClear_Click();
        QCOMPARE(m_terminal->log.count(), 0);
        for (int index : {4, 0, 13, 15, 10})
            m_terminal->controller.cmdNumber_Click(index);
        QCOMPARE(m_terminal->fields.command, QStringLiteral("X<12><34><0D><FA>"));
    }

    void baudTexts()
    {
        // clang-format off
        const char* const cases[][2] = {{"19200bps", "19200"}, {" 2400.4 ", "2400"}, {"abc", ""}, {"0", ""},
            {"-9600", ""}, {"", ""}, {"2147483648", ""}, {"-2147483649", ""}, {"1e300", ""}};
        // clang-format on
        for (const auto& [text, baud] : cases) {
            init();
            m_terminal->fields.baud = text;
            m_terminal->controller.Combo2_Change();
            // A number that is no baud rate: one message, the focus back, nothing else.
            const QString settings =
                *baud ? QString(baud) + ",n,8,1" : QStringLiteral("4800,n,8,1");
            QCOMPARE(lines(), *baud ? QStringList{"Comport Setting:" + settings} : QStringList());
            QCOMPARE(m_terminal->fields.messages,
                     *baud ? QStringList() : QStringList{"Wrong Boad Rate"});
            QCOMPARE(m_terminal->fields.baudFocus, *baud ? 0 : 1);
            QCOMPARE(m_terminal->serial.MSComm1().Settings(), settings);
        }
    }

    void serialPortsThatDoNotOpenOrTakeTheBaudRate()
    {
        m_terminal->controller.CmbComPort_Change(); // nothing selected
        QCOMPARE(lines(), QStringList({"Connect Close"}));
        m_terminal->controller.Option2_Click();
        send(QStringLiteral("A"));
        QCOMPARE(lines().last(), QStringLiteral("Nothing sent: port is not open"));
        SetPortDevice(7, QStringLiteral("/dev/accessterm-no-such-device"));
        m_terminal->fields.portIndex = 6;
        m_terminal->controller.CmbComPort_Change();
        QCOMPARE(lines().last(), QStringLiteral("Connect Close"));
        QCOMPARE(m_terminal->fields.messages.size(), 1);
        QVERIFY(m_terminal->fields.messages.first().contains("/dev/accessterm-no-such-device"));

        // With the far end gone the line refuses every new setting: one line says so.
        PtyPair pty;
        openSerial(pty);
        pty.closeMaster();
        m_terminal->fields.baud = QStringLiteral("9600");
        m_terminal->controller.Combo2_Click();
        QVERIFY2(lines().last().contains("9600") && !lines().last().startsWith("Comport Setting:"),
                 qPrintable(lines().last()));
        QCOMPARE(m_terminal->serial.MSComm1().Settings(), QStringLiteral("4800,n,8,1"));
        QCOMPARE(m_terminal->fields.messages.size(), 1);
    }

    void commandsThatCannotGo()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        m_terminal->controller.cmdNumber_Click(7);
        // clang-format off
        const char* const cases[][2] = {{"   ", "the command is empty"}, {"AB<0", "position 3"},
                                        {"<", "position 1"}, {"A中", "position 2"}};
        // clang-format on
        for (const auto& [command, reason] : cases) {
            const int before = int(lines().size());
            send(QString::fromUtf8(command));
            QCOMPARE(lines().mid(before, 1),
                     QStringList{"[Output]------" + QString::fromUtf8(command).trimmed()});
            QVERIFY(lines().size() == before + 2 && lines().last().startsWith("Nothing sent: ") &&
                    lines().last().contains(reason));
        }
        QCOMPARE(m_terminal->controller.firstDigit(), QStringLiteral("7"));
        // The connection is still good: a following command goes out alone.
        send(QStringLiteral("OK"));
        QCOMPARE(Received(peer, 2), QByteArray("OK"));
    }

    void socketErrorLines()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost); // a port nobody listens on once probe is gone
        const QString refused = QString::number(probe.serverPort());
        probe.close();
        for (const auto& [port, number] :
             {std::pair(refused, "10061"), std::pair(QString("99999999999"), "10049")}) {
            init();
            m_terminal->fields.port = port;
            m_terminal->controller.CmdConnect_Click();
            QTRY_COMPARE(lines().size(), 3);
            QVERIFY2(lines().last().startsWith(QStringLiteral("Socket Error:%1 ").arg(number)),
                     qPrintable(lines().last()));
            send(QStringLiteral("A"));
            QCOMPARE(lines().last(), QStringLiteral("Connect State:Error"));
        }
    }

    void peerClosesInTheMiddleOfABurst()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        QByteArray burst;
        for (int i = 0; burst.size() < 256 * 1024; ++i)
            burst += QByteArray::number(i).rightJustified(7, '0') + '.';
        peer->write(burst.left(100 * 1024));
        // The rest goes out, and the peer closes, while the link is settling on the first part.
        QTimer::singleShot(100, peer, [peer, burst] {
            peer->write(burst.mid(100 * 1024));
            peer->disconnectFromHost();
        });
        QTRY_VERIFY_WITH_TIMEOUT(shownInput().size() >= burst.size(), 10000);
        QTRY_COMPARE(m_terminal->tcp.GetState(), 8);
        QVERIFY(shownInput() == burst);
        QVERIFY(lines().filter("Socket Error:").isEmpty());
        // The terminal goes on: a send now says the peer has closed, and a new connection works.
        send(QStringLiteral("A"));
        QCOMPARE(lines().last(), QString::fromUtf8("Connect State:這台電腦正在關閉連線"));
        peer = connectPeer();
        send(QStringLiteral("again"));
        QCOMPARE(Received(peer, 5), QByteArray("again"));
    }

    void connectPressedDuringTheSettleWait()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        peer->write("OLD");
        QTimer::singleShot(100, this, [this] { m_terminal->controller.CmdConnect_Click(); });
        QTRY_COMPARE(lines().count(QStringLiteral("Connect Succeed")), 2);
        QVERIFY(m_server.hasPendingConnections() || m_server.waitForNewConnection(5000));
        QTcpSocket* second = m_server.nextPendingConnection();
        // The old connection was closed on purpose: its bytes may be dropped, never shown twice or
        // mixed into the new one.
        QVERIFY(QByteArray("OLD").startsWith(shownInput()));
        const QByteArray before = shownInput();
        second->write("NEW");
        QTRY_COMPARE(shownInput(), before + "NEW");
    }

    void captureFileThatCannotBeWritten()
    {
        PtyPair pty;
        openSerial(pty);
        QVERIFY(QDir().mkpath(CaptureFile()));
        QVERIFY(pty.write("R1"));
        // The reply is in the log, and one line says the file lacks it.
        QTRY_VERIFY(lines().last().startsWith("Not saved to " + CaptureFile() + ": "));
        QCOMPARE(lines().at(lines().size() - 2), QStringLiteral("[Input]------R1"));
    }

private:
    QTcpSocket* connectPeer()
    {
        const qsizetype before = lines().count(QStringLiteral("Connect Succeed"));
        m_terminal->controller.CmdConnect_Click();
        if (!QTest::qWaitFor(
                [&] { return lines().count(QStringLiteral("Connect Succeed")) > before; }) ||
            !(m_server.hasPendingConnections() || m_server.waitForNewConnection(5000)))
            return nullptr;
        return m_server.nextPendingConnection();
    }

    void openSerial(PtyPair& pty)
    {
        SetPortDevice(6, pty.slavePath());
        m_terminal->fields.portIndex = 5;
        m_terminal->controller.Option2_Click();
        QVERIFY(m_terminal->serial.IsOpen());
    }

    void send(const QString& command)
    {
        m_terminal->fields.command = command;
        m_terminal->controller.Command3_Click();
    }

    QByteArray captured() const
    {
        QFile file(CaptureFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    const QStringList& lines() const { return m_terminal->log.lines(); }

    // Every reply the log shows, joined; the payloads here are printable, shown as they are.
    QByteArray shownInput() const
    {
        QByteArray all;
        for (const QString& line : lines().filter(QRegularExpression("^\\[Input\\]------")))
            all += line.mid(13).toLatin1();
        return all;
    }

    QTcpServer m_server;
    std::unique_ptr<Terminal> m_terminal;
};

QTEST_MAIN(tst_TerminalController)
#include "tst_terminalcontroller.moc"
