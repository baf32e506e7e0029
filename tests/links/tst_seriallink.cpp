// The serial link under the controller, against a pseudo-terminal (the far device on its master
// end): the port's line settings, ports that do not open, and a far end that goes away.
#include "support/TerminalRoads.h"

class tst_SerialLink : public QObject, private TerminalRoads
{
    Q_OBJECT

private slots:
    void init() { setUp(); }

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

    void openedAgainDuringTheSettleWait()
    {
        PtyPair pty;
        openSerial(pty, 5);
        // Opened again while a reply settles, nothing come since: the wait ends without a line,
        // and the next reply is read as ever.
        QTimer::singleShot(100, this, [&] { t->controller.CmbComPort_Click(); });
        QVERIFY(pty.write("old"));
        // Seen once the reply's handling is over: the wait runs within it.
        QTRY_COMPARE(lines().filter("Open Comport:Com 5").size(), 2);
        QVERIFY(!t->serial.Gathering());
        QCOMPARE(lines().filter("[Input]").size(), 0);
        QVERIFY(pty.write("new"));
        QTRY_COMPARE(lines().last(), "[Input]------new");
    }

    void aReplyPastTheLongestReadGoesOnInContinuations()
    {
        PtyPair pty;
        openSerial(pty, 5);
        t->serial.SetLongestRead(1024);
        QString pieces;
        qsizetype bytes = 0;
        connect(&t->serial, &SerialLink::ReplyArrived, this,
                [&](const QByteArray& reply, qint64, bool continued) {
                    bytes += reply.size();
                    pieces += continued ? '+' : '-';
                });
        QVERIFY(pty.write(QByteArray(3000, 'A')));
        QTRY_COMPARE(bytes, 3000);
        QCOMPARE(pieces, "-++");
    }

    void handedOnAsReadWithoutTheSettleWait()
    {
        PtyPair pty;
        openSerial(pty, 5);
        t->serial.SetLongestRead(1024);
        QList<QByteArray> reads;
        QList<qint64> sinceWrite;
        QByteArray replies;
        connect(&t->serial, &SerialLink::BytesRead, this, [&](const QByteArray& bytes, qint64 ms) {
            QVERIFY(!t->serial.Gathering() && bytes.size() <= 1024);
            reads << bytes;
            sinceWrite << ms;
        });
        connect(&t->serial, &SerialLink::ReplyArrived, this,
                [&](const QByteArray& reply) { replies += reply + '|'; });
        // Set while a burst settles: that burst ends as before, with what came meanwhile.
        QTimer::singleShot(100, this, [&] {
            QVERIFY(t->serial.Gathering());
            t->serial.SetHandOnAsRead(true);
            QVERIFY(t->serial.HandsOnAsRead() && pty.write("two"));
        });
        QVERIFY(pty.write("one"));
        QTRY_COMPARE(replies, "onetwo|");
        // Then each read on its own, even one that comes while the one before would settle.
        QVERIFY(pty.write("A"));
        QTRY_COMPARE(reads.size(), 1);
        send("X");
        QVERIFY(pty.write("B"));
        QTRY_COMPARE(reads, QList<QByteArray>({"A", "B"}));
        QVERIFY(sinceWrite.at(0) == -1 && sinceWrite.at(1) >= 0);
        // A long one in reads of at most the longest read, in order.
        reads.clear();
        QVERIFY(pty.write(EveryByte().repeated(12)));
        QTRY_COMPARE(reads.join(), EveryByte().repeated(12));
        QVERIFY(reads.size() >= 3);
        // Cleared while bytes wait unread: they come once, as a reply after the settle wait.
        reads.clear();
        connect(&t->serial, &SerialLink::BytesRead, this, [&](const QByteArray& bytes) {
            if (bytes != "C")
                return;
            QVERIFY(pty.write("D"));
            QVERIFY(QTest::qWaitFor([&] { return t->serial.MSComm1().InBufferCount() > 0; }));
            t->serial.SetHandOnAsRead(false);
        });
        QVERIFY(pty.write("C"));
        QTRY_COMPARE(replies, "onetwo|D|");
        QCOMPARE(reads, QList<QByteArray>({"C"}));
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

    void baudTexts()
    {
        // A text that is no baud rate: one message, the focus back, nothing else.
        // clang-format off
        const char* const cases[][2] = {{"19200bps", "19200"}, {" 2400.4 ", "2400"}, {"abc", ""}, {"0", ""},
            {"-9600", ""}, {"", ""}, {"2147483648", ""}, {"-2147483649", ""}, {"1e300", ""}};
        // clang-format on
        for (const auto& [text, baud] : cases) {
            setUp();
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
              std::tuple(8, pty.slavePath(), "in use by tst_seriallink (process")}) {
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
};

QTEST_MAIN(tst_SerialLink)
#include "tst_seriallink.moc"
