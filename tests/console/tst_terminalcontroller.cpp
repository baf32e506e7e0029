// The terminal without its window: the controller with the real links, driven along the
// operator's roads against a loopback TCP peer and a pseudo-terminal (the far device on its master
// end), and through the faults that come from outside on them.
#include "support/PtyPair.h"
#include "support/Terminal.h"

#include "notation/RenderReceivedData.h"

#include <QAbstractItemModelTester>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <sys/resource.h>

namespace
{

double CpuSeconds()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

speed_t LineSpeed(const PtyPair& pty)
{
    termios tio{}; // the master end's ioctls act on the slave's line settings
    tcgetattr(pty.masterFd(), &tio);
    return cfgetospeed(&tio);
}

QString Rendered(const QByteArray& bytes)
{
    return QString::fromLatin1(RenderReceivedData(bytes.toStdString()));
}

// The bytes as a command of one token each.
QString Tokens(const QByteArray& bytes)
{
    QString text;
    for (const char c : bytes)
        text += QString::asprintf("<%02X>", quint8(c));
    return text;
}

QByteArray EveryByte()
{
    QByteArray bytes;
    for (int c = 0; c < 256; ++c)
        bytes += char(c);
    return bytes;
}

} // namespace

class tst_TerminalController : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QDir(CaptureFile()).removeRecursively();
        QFile::remove(CaptureFile());
        t = std::make_unique<Terminal>();
        m_server.close(); // a new port: no connection left over from the last test
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        t->fields.host = " 127.0.0.1 ";
        t->fields.port = QString::number(m_server.serverPort());
    }

    void wholeRoadOverTcp()
    {
        // An address is connected to at once, a name is looked up first.
        QTcpSocket* peer = nullptr;
        for (const auto& [host, state] :
             {std::pair(" 127.0.0.1 ", "Connectin"), std::pair("localhost", "ResolvingHost")}) {
            init();
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

    void wholeRoadOverSerial()
    {
        PtyPair pty;
        openSerial(pty, 5);
        QCOMPARE(t->controller.transportMode(), 1);
        t->fields.baud = "9600";
        t->controller.Combo2_Click();
        QCOMPARE(lines(), QStringList({"Connect Close", "Open Comport:Com 5",
                                       "Comport Setting:9600,n,8,1"}));
        send("  AB<02>C<0D>  ");
        QCOMPARE(pty.readExactly(5), "AB\002C\r");
        QCOMPARE(lines().last(), "[Output]------AB<02>C<0D>");
        // A reply in pieces within the settle wait is one line, shown no sooner than 300 ms on.
        QElapsedTimer sinceSent;
        qint64 shownAfter = -1;
        connect(&t->serial, &SerialLink::ReplyArrived, this,
                [&] { shownAfter = sinceSent.elapsed(); });
        QTimer::singleShot(90, this, [&] { pty.write(QByteArray("\003\0", 2)); });
        QTimer::singleShot(180, this, [&] { pty.write("\r\n"); });
        const double cpu = CpuSeconds();
        sinceSent.start();
        QVERIFY(pty.write("\002AB"));
        QTRY_COMPARE(lines().last(), "[Input]------<02>AB<03><00><0D><0A>");
        QVERIFY2(shownAfter >= 300, qPrintable(QString::number(shownAfter)));
        QVERIFY2(CpuSeconds() - cpu < 0.1, "the settle wait sleeps rather than spinning");
        QVERIFY(last().answerMs() >= 0 && last().answerMs() < 300);
        QVERIFY(pty.write("2nd"));
        QTRY_COMPARE(lines().last(), "[Input]------2nd");
        QFile capture(CaptureFile());
        QVERIFY(capture.open(QIODevice::ReadOnly));
        QCOMPARE(capture.readAll(), "<02>AB<03><00><0D><0A>\r\n2nd\r\n");
        // Every byte value both ways, more than the line holds at once: each shown once, in order.
        const QByteArray bytes = EveryByte();
        send(Tokens(bytes));
        QCOMPARE(pty.readExactly(256), bytes);
        // In lines of 4 KiB in the log, each reply whole in the capture file.
        t->log.setLimits(1 << 20, 4096);
        const int before = int(lines().size());
        const QString whole = Rendered(bytes.repeated(64) + "END");
        QVERIFY(pty.write(bytes.repeated(64) + "END"));
        QTRY_VERIFY(lines().last().endsWith("END"));
        const QStringList shown = lines().mid(before);
        QCOMPARE(shown.join("").remove("[Input]------").remove("[Input]+-----"), whole);
        QVERIFY(shown.filter("[Input]+-----").size() >= 3);
        const QByteArray captured = capture.readAll();
        QCOMPARE(captured.count("\r\n"), shown.filter("[Input]------").size());
        QCOMPARE(QString::fromLatin1(captured).remove("\r\n"), whole);

        // A capture file that cannot be written: the reply is in the log, and a line says why.
        QVERIFY(capture.remove() && QDir().mkpath(CaptureFile()));
        QVERIFY(pty.write("3rd"));
        QTRY_VERIFY(lines().last().startsWith("Not saved to " + CaptureFile() + ": "));
        QCOMPARE(lines().at(lines().size() - 2), "[Input]------3rd");

        SetPortDevice(6, pty.slavePath());
        t->fields.portIndex = 5;
        t->controller.CmbComPort_Click();
        QCOMPARE(lines().mid(lines().size() - 2),
                 QStringList({"Connect Close", "Open Comport:Com 6"}));
        QVERIFY(pty.write("4th")); // nothing written on the port as opened now
        QTRY_COMPARE(lines().at(lines().size() - 2), "[Input]------4th"); // not captured: see above
        QCOMPARE(t->log.record(t->log.count() - 2).answerMs(), -1);
        // Choosing TCP, by Connect or by the option, closes the port.
        t->controller.CmdConnect_Click();
        QVERIFY(!t->serial.IsOpen());
        t->controller.Option2_Click();
        QVERIFY(t->serial.IsOpen());
        t->controller.Option1_Click();
        QVERIFY(!t->serial.IsOpen());
        QCOMPARE(t->controller.transportMode(), 2);
    }

    void serialLineSettings()
    {
        PtyPair pty;
        openSerial(pty, 5);
        // 4800 baud, 8 data bits, no parity, one stop bit from the start.
        termios tio{};
        QVERIFY(tcgetattr(pty.masterFd(), &tio) == 0 && cfgetospeed(&tio) == B4800);
        QCOMPARE(tio.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));
        // Someone else changes the line: choosing the open port again reopens it as it was.
        cfsetospeed(&tio, B9600);
        tcsetattr(pty.masterFd(), TCSANOW, &tio);
        t->controller.CmbComPort_Click();
        QCOMPARE(LineSpeed(pty), speed_t(B4800));
        t->fields.baud = "115200";
        t->controller.Combo2_Change();
        QCOMPARE(LineSpeed(pty), speed_t(B115200));
        // Kept while closed and through opening another port number on the same device; text
        // that is no line setting is refused and changes nothing.
        t->controller.Option1_Click();
        MSComm& comm = t->serial.MSComm1();
        for (const char* refused : {"", ",n,8,1", "0,n,8,1", "-9600,n,8,1", "9600,x,8,1",
                                    "9600,n,9,1", "9600,n,4,1", "9600,n,8,3", "9600,n,8"})
            QVERIFY2(!comm.SetSettings(refused).ok() && comm.Settings() == "115200,n,8,1", refused);
        t->fields.baud = "1200";
        t->controller.Combo2_Change();
        openSerial(pty, 6);
        QCOMPARE(LineSpeed(pty), speed_t(B1200));
        send("OK");
        QCOMPARE(pty.readExactly(2), "OK");
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
        for (int index : {4, 0, 13, 15, 10})
            t->controller.cmdNumber_Click(index);
        QCOMPARE(t->fields.command, "X<12><34><0D><FA>");
    }

    void clearScreenLetsGoOfTheLines()
    {
        const QString line = "[Input]------" + QString(1 << 20, 'A');
        t->log.AddLine(line);
        QTRY_COMPARE(t->log.model()->rowCount(), 1);
        t->controller.cmdClear_Click();
        QVERIFY(line.isDetached()); // the test's own copy is the only one left
    }

    void baudTexts()
    {
        // A text that is no baud rate: one message, the focus back, nothing else.
        // clang-format off
        const char* const cases[][2] = {{"19200bps", "19200"}, {" 2400.4 ", "2400"}, {"abc", ""}, {"0", ""},
            {"-9600", ""}, {"", ""}, {"2147483648", ""}, {"-2147483649", ""}, {"1e300", ""}};
        // clang-format on
        for (const auto& [text, baud] : cases) {
            init();
            t->fields.baud = text;
            t->controller.Combo2_Change();
            const QString settings = QString(*baud ? baud : "4800") + ",n,8,1";
            QCOMPARE(lines(), *baud ? QStringList{"Comport Setting:" + settings} : QStringList());
            QCOMPARE(t->fields.messages, *baud ? QStringList() : QStringList{"Wrong Boad Rate"});
            QCOMPARE(t->fields.baudFocus, *baud ? 0 : 1);
            QCOMPARE(t->serial.MSComm1().Settings(), settings);
        }
    }

    void serialPortsThatDoNotOpenOrTakeTheBaudRate()
    {
        // Without an override, port n is the n-th serial port present.
        const QStringList present = {"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyACM0"};
        for (int port : {0, 3, 4})
            qunsetenv(qPrintable(QString("ACCESSTERM_COM%1").arg(port)));
        QCOMPARE(QStringList({MSComm::DeviceForPort(0, present), MSComm::DeviceForPort(3, present),
                              MSComm::DeviceForPort(4, present)}),
                 QStringList({"", "/dev/ttyACM0", ""}));
        QCOMPARE(MSComm::DescribeOpenFailure(1, "/dev/ttyUSB0", QSerialPort::PermissionError,
                                             "Permission denied"),
                 QString::fromUtf8("Comport 1 (/dev/ttyUSB0): Permission denied — add your user to "
                                   "the dialout group"));

        t->controller.CmbComPort_Change(); // nothing selected
        QCOMPARE(lines(), QStringList({"Connect Close"}));
        t->controller.Option2_Click();
        send("A");
        QCOMPARE(lines().last(), "Nothing sent: port is not open");
        // A missing device, and one that another open holds: the operator is told which and why,
        // and the port open before is closed.
        PtyPair pty;
        SerialLink holder;
        SetPortDevice(8, pty.slavePath());
        QVERIFY(holder.OpenPort(8).ok());
        const QTemporaryDir dir;
        SetPortDevice(7, dir.filePath("ttyGone"));
        PtyPair other;
        for (const auto& [port, device, reason] :
             {std::tuple(7, dir.filePath("ttyGone"), "No such device"),
              std::tuple(8, pty.slavePath(), "in use by tst_terminalcontroller (process")}) {
            openSerial(other, 4);
            t->fields.portIndex = port - 1;
            t->controller.CmbComPort_Change();
            const QString shown = t->fields.messages.last();
            QVERIFY2(
                shown.startsWith(QString("Comport %1 (%2): %3").arg(port).arg(device, reason)) &&
                    !shown.contains("dialout"),
                qPrintable(shown));
            QVERIFY(!t->serial.IsOpen());
            QCOMPARE(lines().last(), "Connect Close");
        }
        QCOMPARE(t->fields.messages.size(), 2);
        // The open that holds the device is not disturbed.
        QSignalSpy held(&holder, &SerialLink::ReplyArrived);
        QVERIFY(pty.write("still here") && held.wait(5000));
        QCOMPARE(held.at(0).at(0).toByteArray(), "still here");
        // With the far end gone the line refuses every new setting: one line says so.
        openSerial(other, 4);
        other.closeMaster();
        t->fields.baud = "9600";
        t->controller.Combo2_Click();
        QVERIFY2(lines().last().contains("9600") && !lines().last().startsWith("Comport Setting:"),
                 qPrintable(lines().last()));
        QCOMPARE(t->serial.MSComm1().Settings(), "4800,n,8,1");
        QCOMPARE(t->fields.messages.size(), 2);
    }

    void serialFarEndGoneDuringTheSettleWait()
    {
        auto pty = std::make_unique<PtyPair>();
        openSerial(*pty, 3);
        double cpuAtClose = -1;
        QElapsedTimer sinceClose;
        QTimer::singleShot(100, this, [&] {
            cpuAtClose = CpuSeconds();
            sinceClose.start();
            pty->closeMaster();
        });
        QVERIFY(pty->write("ABC"));
        QTRY_VERIFY(cpuAtClose >= 0 && !t->serial.IsOpen());
        // Watch a while longer: a line that is gone must not keep the process busy.
        QTest::qWait(1000);
        const double cpu = CpuSeconds() - cpuAtClose;
        QVERIFY2(cpu < 0.0005 * double(sinceClose.elapsed()), qPrintable(QString::number(cpu)));
        // What the port had read before the line went is shown and captured once.
        QCOMPARE(shownInput(), "ABC");
        QFile capture(CaptureFile());
        QVERIFY(capture.open(QIODevice::ReadOnly));
        QCOMPARE(capture.readAll(), "ABC\r\n");
        send("X");
        QVERIFY2(lines().last().startsWith("Nothing sent: port is not open") &&
                     lines().last().contains("was lost"),
                 qPrintable(lines().last()));
        // The terminal carries on: a new line on the same port number works.
        pty = std::make_unique<PtyPair>();
        openSerial(*pty, 3);
        send("Y");
        QCOMPARE(pty->readExactly(1), "Y");
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

    void socketErrorLines()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost); // a port nobody listens on once probe is gone
        const QByteArray refused = QByteArray::number(probe.serverPort());
        probe.close();
        // clang-format off
        const char* const cases[][3] = {{"127.0.0.1", refused, "10061"}, {"", "80", "10049"},
            {"127.0.0.1", "0", "10049"}, {"127.0.0.1", "-1", "10049"}, {"127.0.0.1", "65536", "10049"},
            {"127.0.0.1", "99999999999", "10049"}, {"no-such-host.invalid", "80", "11001"}};
        // clang-format on
        for (const auto& [host, port, number] : cases) {
            init();
            t->fields.host = host;
            t->fields.port = port;
            t->controller.CmdConnect_Click();
            QTRY_COMPARE_WITH_TIMEOUT(lines().size(), 3, 25000);
            QVERIFY2(lines().last().startsWith(QString("Socket Error:%1 ").arg(number)) &&
                         lines().last().size() > 19,
                     qPrintable(lines().last()));
            send("A");
            QCOMPARE(lines().last(), "Connect State:Error");
        }
        // A failure queued for an attempt given up is not reported.
        init();
        t->fields.port = "0";
        t->controller.CmdConnect_Click();
        t->fields.port = QString::number(m_server.serverPort());
        QVERIFY(connectPeer());
        QCOMPARE(lines().filter("Socket Error:").size(), 0);
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
        QTRY_COMPARE(t->tcp.GetState(), 8);
        QVERIFY(shownInput() == burst);
        QVERIFY(lines().filter("Socket Error:").isEmpty());
        // The terminal goes on: a send now says the peer has closed, and a new connection works.
        send("A");
        QCOMPARE(lines().last(), QString::fromUtf8("Connect State:這台電腦正在關閉連線"));
        peer = connectPeer();
        send("again");
        QCOMPARE(Received(peer, 5), "again");
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

    void openedAgainDuringTheSettleWait()
    {
        // The new connection or port answers in two pieces: the first while the wait that began
        // on the old one runs, the second after that wait has ended. Bytes of the old one, closed
        // on purpose, may be dropped; the new reply shows whole, in a line of its own.
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        QObject scope;
        connect(&m_server, &QTcpServer::newConnection, &scope, [this] {
            QTcpSocket* second = m_server.nextPendingConnection();
            second->write("NE");
            QTimer::singleShot(225, second, [second] { second->write("W"); });
        });
        peer->write("OLD");
        QTimer::singleShot(150, this, [this] { t->controller.CmdConnect_Click(); });
        QTRY_COMPARE(lines().filter("[Input]------").join('|'), "[Input]------NEW");

        PtyPair first, second;
        openSerial(first, 5);
        SetPortDevice(6, second.slavePath());
        t->fields.portIndex = 5;
        QTimer::singleShot(150, &scope, [&] {
            t->controller.CmbComPort_Click();
            second.write("ne");
            QTimer::singleShot(225, &scope, [&] { second.write("w"); });
        });
        QVERIFY(first.write("old"));
        QTRY_COMPARE(lines().filter("[Input]------").join('|'),
                     "[Input]------NEW|[Input]------new");
    }

    void bytesThatComeWhileAReplyIsHandedOnGetALineOfTheirOwn()
    {
        // The link announces nothing that comes while it hands a reply on (a long one takes the
        // window's events in between); the peer then goes quiet, and the bytes must still show.
        QObject scope;
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        connect(&t->tcp, &TcpLink::ReplyArrived, &scope, [&](const QByteArray& reply) {
            if (reply == "first") {
                peer->write("second");
                QVERIFY(QTest::qWaitFor([&] { return t->tcp.Winsock1().BytesReceived() > 0; }));
            }
        });
        peer->write("first");
        QTRY_COMPARE(lines().filter("[Input]").join('|'), "[Input]------first|[Input]------second");

        PtyPair pty;
        openSerial(pty, 5);
        connect(&t->serial, &SerialLink::ReplyArrived, &scope, [&](const QByteArray& reply) {
            if (reply == "one") {
                pty.write("two");
                QVERIFY(QTest::qWaitFor([&] { return t->serial.MSComm1().InBufferCount() > 0; }));
            }
        });
        QVERIFY(pty.write("one"));
        QTRY_COMPARE(lines().filter("[Input]").mid(2).join('|'),
                     "[Input]------one|[Input]------two");
    }

    void aFloodKeepsTheLogWithinItsBudget()
    {
        // 512 KiB kept in lines of 64 KiB, read 256 KiB at a time; the peer sends 2 MiB of every
        // byte value in one burst.
        t->log.setLimits(512 << 10, 64 << 10);
        t->tcp.SetLongestRead(256 << 10);
        QAbstractItemModelTester rows(t->log.model());
        t->log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t->log));
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        QSignalSpy replies(&t->tcp, &TcpLink::ReplyArrived);
        QByteArray sent;
        while (sent.size() < 2 << 20)
            sent += EveryByte().repeated(256);
        peer->write(sent += "END");
        const EventLogModel& log = t->log.logModel();
        QByteArray kept;
        QVERIFY(QTest::qWaitFor(
            [&] {
                kept.clear();
                for (const LogLine& line : log.lines())
                    kept += line.bytes();
                return log.leftBytes() + kept.size() == sent.size();
            },
            20000));
        QVERIFY(kept.size() <= 512 << 10 && kept == sent.right(kept.size()));
        QCOMPARE(replies.size(), 9);
        const QString notice = QStringLiteral("%1 lines (%2 bytes) left the log since it was last "
                                              "cleared, to keep it within 512 KiB")
                                   .arg(log.leftLines())
                                   .arg(log.leftBytes());
        QCOMPARE(lines().first(), notice);
        // The burst goes on in continuations, each after a full line unless that line has left.
        QVERIFY(lines().filter("[Input]------").isEmpty());
        for (int row = 2; row < t->log.count(); ++row)
            if (lines().at(row).startsWith("[Input]+-----"))
                QCOMPARE(t->log.record(row - 1).byteCount(), 64 << 10);
        QTRY_COMPARE(t->log.model()->rowCount(), t->log.count());
        QTRY_VERIFY(t->log.visualRect(t->log.model()->index(t->log.count() - 1, 0))
                        .intersects(t->log.viewport()->rect()));
        // Saved: the notice first, then what is kept.
        const QTemporaryDir dir;
        const int count = t->log.count();
        t->log.saveLog(dir.filePath("flood.log"));
        QTRY_VERIFY(lines().last().startsWith("Log saved: "));
        QFile file(dir.filePath("flood.log"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray saved = file.readAll();
        QVERIFY(saved.count('\n') == count && saved.mid(25).startsWith(notice.toUtf8() + '\n'));
        // More lines leave: the notice in view says so.
        QSignalSpy changed(t->log.model(), &QAbstractItemModel::dataChanged);
        const qint64 leftBefore = log.leftLines();
        peer->write(EveryByte().repeated(1000)); // less than a whole read: the burst ends
        QTRY_VERIFY(log.leftLines() > leftBefore);
        QVERIFY(!changed.isEmpty() && changed.last().at(0).toModelIndex().row() == 0);
        QVERIFY(lines().first().startsWith(QString::number(log.leftLines()) + " lines"));
        t->controller.cmdClear_Click();
        peer->write("x");
        QTRY_COMPARE(lines(), QStringList{"[Input]------x"});
    }

private:
    QTcpSocket* connectPeer()
    {
        const qsizetype before = lines().count("Connect Succeed");
        t->controller.CmdConnect_Click();
        return acceptPeer(before);
    }

    // The peer's end of the connection the terminal makes once it has connected more than before.
    QTcpSocket* acceptPeer(qsizetype before)
    {
        if (!QTest::qWaitFor([&] { return lines().count("Connect Succeed") > before; }) ||
            !(m_server.hasPendingConnections() || m_server.waitForNewConnection(5000)))
            return nullptr;
        return m_server.nextPendingConnection();
    }

    void openSerial(PtyPair& pty, int port)
    {
        SetPortDevice(port, pty.slavePath());
        t->fields.portIndex = port - 1;
        t->controller.Option2_Click();
        QVERIFY(t->serial.IsOpen());
    }

    void send(const QString& command)
    {
        t->fields.command = command;
        t->controller.Command3_Click();
    }

    QStringList lines() const { return t->log.lines(); }
    const LogLine& last() const { return t->log.record(t->log.count() - 1); }

    // Every reply the log shows, joined; the payloads here are printable, shown as they are.
    QByteArray shownInput() const
    {
        return lines().filter("[Input]------").join("").remove("[Input]------").toLatin1();
    }

    QTcpServer m_server;
    std::unique_ptr<Terminal> t;
};

QTEST_MAIN(tst_TerminalController)
#include "tst_terminalcontroller.moc"
