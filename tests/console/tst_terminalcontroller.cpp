// The controller driven with the real links: a loopback TCP peer and a pseudo-terminal.
#include "support/PtyPair.h"
#include "support/Terminal.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace
{

} // namespace

class tst_TerminalController : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QFile::remove(CaptureFile());
        m_terminal = std::make_unique<Terminal>();
    }
    void cleanup()
    {
        m_terminal.reset();
        QFile::remove(CaptureFile());
    }

    void wholeRoadOverTcp()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        m_terminal->fields.host = QStringLiteral(" 127.0.0.1 ");
        m_terminal->fields.port = QString::number(server.serverPort());
        m_terminal->controller.CmdConnect_Click();
        QTRY_VERIFY_WITH_TIMEOUT(
            m_terminal->log.lines().contains(QStringLiteral("Connect Succeed")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 5000);
        QTcpSocket* peer = server.nextPendingConnection();
        QCOMPARE(m_terminal->log.lines(),
                 QStringList({"Close Comport", "Connecting.....", "Connect Succeed"}));

        m_terminal->fields.command = QStringLiteral("AB<02>C<0D>");
        m_terminal->controller.Command3_Click();
        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT((received += peer->readAll()).size() >= 5, 5000);
        QCOMPARE(received, QByteArray("AB\x02"
                                      "C\r"));
        QCOMPARE(m_terminal->log.lines().last(), QStringLiteral("[Output]------AB<02>C<0D>"));
        QCOMPARE(m_terminal->fields.command, QStringLiteral("AB<02>C<0D>"));

        peer->write(QByteArray("\x02"
                               "AB\x03\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(m_terminal->log.lines().last(),
                                  QStringLiteral("[Input]------<02>AB<03><0D><0A>"), 5000);
        QVERIFY(!QFile::exists(CaptureFile()));
    }

    void wholeRoadOverSerial()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        qputenv("ACCESSTERM_COM5", pty.slavePath().toLocal8Bit());
        m_terminal->fields.portIndex = 4;
        m_terminal->controller.Option2_Click();
        QCOMPARE(m_terminal->controller.transportMode(), 1);
        QCOMPARE(m_terminal->log.lines(), QStringList({"Connect Close", "Open Comport:Com 5"}));
        m_terminal->fields.baud = QStringLiteral("9600");
        m_terminal->controller.Combo2_Click();
        QCOMPARE(m_terminal->log.lines().last(), QStringLiteral("Comport Setting:9600,n,8,1"));

        m_terminal->fields.command = QStringLiteral("  AB<02>C<0D>  ");
        m_terminal->controller.Command3_Click();
        QCOMPARE(pty.readExactly(5), QByteArray("AB\x02"
                                                "C\r"));
        QCOMPARE(m_terminal->log.lines().last(), QStringLiteral("[Output]------AB<02>C<0D>"));

        QVERIFY(pty.write(QByteArray("\x02"
                                     "AB\x03\r\n")));
        QTRY_COMPARE_WITH_TIMEOUT(m_terminal->log.lines().last(),
                                  QStringLiteral("[Input]------<02>AB<03><0D><0A>"), 5000);
        QFile capture(CaptureFile());
        QVERIFY(capture.open(QIODevice::ReadOnly));
        QCOMPARE(capture.readAll(), QByteArray("<02>AB<03><0D><0A>\r\n"));
        qunsetenv("ACCESSTERM_COM5");
    }

    void sendBeforeAnyChoiceLogsSocketState()
    {
        m_terminal->fields.command = QStringLiteral("A");
        m_terminal->controller.Command3_Click();
        QCOMPARE(m_terminal->log.lines(), QStringList({"[Output]------A", "Connect State:Closed"}));
        QCOMPARE(m_terminal->controller.transportMode(), 0);
    }

    void keypadPairsDigits()
    {
        m_terminal->fields.command = QStringLiteral("X");
        for (int index : {1, 2, 3})
            m_terminal->controller.cmdNumber_Click(index);
        QCOMPARE(m_terminal->fields.command, QStringLiteral("X<12>"));
        QCOMPARE(m_terminal->controller.firstDigit(), QStringLiteral("3"));
        QCOMPARE(m_terminal->controller.secondDigit(), QString());
        // The pending digit survives a send and a clear.
        m_terminal->controller.Command3_Click();
        m_terminal->controller.cmdClear_Click();
        QCOMPARE(m_terminal->log.count(), 0);
        m_terminal->controller.cmdNumber_Click(4);
        QCOMPARE(m_terminal->fields.command, QStringLiteral("X<12><34>"));
        m_terminal->controller.cmdNumber_Click(0);
        m_terminal->controller.cmdNumber_Click(13);
        QCOMPARE(m_terminal->fields.command, QStringLiteral("X<12><34><0D>"));
        m_terminal->controller.cmdNumber_Click(15);
        m_terminal->controller.cmdNumber_Click(10);
        QCOMPARE(m_terminal->fields.command, QStringLiteral("X<12><34><0D><FA>"));
    }

    void wrongBaudRate_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << "abc";
        QTest::newRow("zero") << "0";
        QTest::newRow("negative") << "-9600";
        QTest::newRow("empty") << "";
        QTest::newRow("beyond 32 bits") << "99999999999";
    }
    void wrongBaudRate()
    {
        QFETCH(QString, text);
        const QString before = m_terminal->serial.MSComm1().Settings();
        m_terminal->fields.baud = text;
        m_terminal->controller.Combo2_Change();
        QCOMPARE(m_terminal->fields.messages, QStringList({"Wrong Boad Rate"}));
        QCOMPARE(m_terminal->fields.baudFocus, 1);
        QCOMPARE(m_terminal->log.count(), 0);
        QCOMPARE(m_terminal->serial.MSComm1().Settings(), before);
    }

    void baudDigitsThenLetters()
    {
        m_terminal->fields.baud = QStringLiteral("19200bps");
        m_terminal->controller.Combo2_Change();
        QCOMPARE(m_terminal->log.lines(), QStringList({"Comport Setting:19200,n,8,1"}));
        QCOMPARE(m_terminal->serial.MSComm1().Settings(), QStringLiteral("19200,n,8,1"));
        QVERIFY(m_terminal->fields.messages.isEmpty());
    }

    void baudRateThePortRefusesIsOneLine()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        qputenv("ACCESSTERM_COM2", pty.slavePath().toLocal8Bit());
        m_terminal->fields.portIndex = 1;
        m_terminal->controller.Option2_Click();
        QVERIFY(m_terminal->serial.IsOpen());
        const QString before = m_terminal->serial.MSComm1().Settings();
        const int linesBefore = m_terminal->log.count();

        // With the far end gone the line refuses every new setting.
        pty.closeMaster();
        m_terminal->fields.baud = QStringLiteral("9600");
        m_terminal->controller.Combo2_Click();
        QCOMPARE(m_terminal->log.count(), linesBefore + 1);
        QVERIFY2(m_terminal->log.lines().last().contains(QStringLiteral("9600")),
                 qPrintable(m_terminal->log.lines().last()));
        QVERIFY(!m_terminal->log.lines().last().startsWith(QStringLiteral("Comport Setting:")));
        QCOMPARE(m_terminal->serial.MSComm1().Settings(), before);
        QVERIFY(m_terminal->fields.messages.isEmpty());
        QCOMPARE(m_terminal->controller.transportMode(), 1);
        qunsetenv("ACCESSTERM_COM2");
    }

    void portWithNothingSelected()
    {
        m_terminal->controller.CmbComPort_Change();
        QCOMPARE(m_terminal->log.lines(), QStringList({"Connect Close"}));
        QVERIFY(!m_terminal->serial.IsOpen());
        QVERIFY(m_terminal->fields.messages.isEmpty());
    }

    void failedOpenShowsOneMessage()
    {
        qputenv("ACCESSTERM_COM7", QByteArray("/dev/accessterm-no-such-device"));
        m_terminal->fields.portIndex = 6;
        m_terminal->controller.Option2_Click();
        QCOMPARE(m_terminal->log.lines(), QStringList({"Connect Close"}));
        QCOMPARE(m_terminal->fields.messages.size(), 1);
        QVERIFY(m_terminal->fields.messages.first().contains(
            QStringLiteral("/dev/accessterm-no-such-device")));
        QVERIFY(!m_terminal->serial.IsOpen());
        qunsetenv("ACCESSTERM_COM7");
    }

    void commandsThatCannotGo_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << "   "
                               << "empty";
        QTest::newRow("unclosed") << "AB<0"
                                  << "3";
        QTest::newRow("no byte") << QString::fromUtf8("A\u4e2d") << "2";
    }
    void commandsThatCannotGo()
    {
        QFETCH(QString, command);
        QFETCH(QString, reason);
        m_terminal->controller.cmdNumber_Click(7);
        m_terminal->fields.command = command;
        m_terminal->controller.Command3_Click();
        QCOMPARE(m_terminal->log.count(), 2);
        QCOMPARE(m_terminal->log.line(0), QStringLiteral("[Output]------") + command.trimmed());
        QVERIFY(m_terminal->log.line(1).startsWith(QStringLiteral("Nothing sent: ")));
        QVERIFY2(m_terminal->log.line(1).contains(reason), qPrintable(m_terminal->log.line(1)));
        QCOMPARE(m_terminal->controller.transportMode(), 0);
        QCOMPARE(m_terminal->controller.firstDigit(), QStringLiteral("7"));
    }

    void serialWriteWhileClosedIsOneLine()
    {
        m_terminal->fields.portIndex = -1;
        m_terminal->controller.Option2_Click(); // "Comport" chosen, but no port selected
        m_terminal->fields.command = QStringLiteral("A");
        m_terminal->controller.Command3_Click();
        QCOMPARE(m_terminal->log.count(), 3);
        QVERIFY(m_terminal->log.line(2).startsWith(QStringLiteral("Nothing sent: ")));
        QCOMPARE(m_terminal->controller.transportMode(), 1);
    }

    void refusedConnectionIsASocketErrorLine()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const quint16 port = server.serverPort();
        server.close(); // nothing listens there now
        m_terminal->fields.host = QStringLiteral("127.0.0.1");
        m_terminal->fields.port = QString::number(port);
        m_terminal->controller.CmdConnect_Click();
        QTRY_VERIFY_WITH_TIMEOUT(m_terminal->log.count() == 3, 5000);
        QVERIFY2(m_terminal->log.line(2).startsWith(QStringLiteral("Socket Error:10061 ")),
                 qPrintable(m_terminal->log.line(2)));
    }

    void portBeyond32BitsIsASocketErrorLine()
    {
        m_terminal->fields.host = QStringLiteral("127.0.0.1");
        m_terminal->fields.port = QStringLiteral("99999999999");
        m_terminal->controller.CmdConnect_Click();
        QTRY_VERIFY_WITH_TIMEOUT(m_terminal->log.count() == 3, 5000);
        QVERIFY2(m_terminal->log.line(2).startsWith(QStringLiteral("Socket Error:10049 ")),
                 qPrintable(m_terminal->log.line(2)));
    }

    void refusedPortThenAGoodOneConnects()
    {
        // The refusal of the first attempt is queued; the second attempt must not inherit it.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        m_terminal->fields.host = QStringLiteral("127.0.0.1");
        m_terminal->fields.port = QStringLiteral("0");
        m_terminal->controller.CmdConnect_Click();
        m_terminal->fields.port = QString::number(server.serverPort());
        m_terminal->controller.CmdConnect_Click();
        QTRY_VERIFY_WITH_TIMEOUT(
            m_terminal->log.lines().contains(QStringLiteral("Connect Succeed")), 5000);
        QCOMPARE(m_terminal->tcp.GetState(), 7);
        for (const QString& line : m_terminal->log.lines())
            QVERIFY2(!line.startsWith(QStringLiteral("Socket Error:")), qPrintable(line));
    }

private:
    std::unique_ptr<Terminal> m_terminal;
};

QTEST_MAIN(tst_TerminalController)
#include "tst_terminalcontroller.moc"
