// The engineer's own descriptions in the window's menu, read again as they change, and the log
// saved as an OSDP trace.
#include "app/ProtocolWindowCase.h"

class tst_ProtocolFiles : public QObject, private ProtocolWindowCase
{
    Q_OBJECT

private slots:
    void init() { setUp(); }

    void engineersOwnFromTheMenu()
    {
        describe("gate.txt", "title Gate 3\nstart 02\ndata\nend 03\ncheck bcc from 1\n");
        describe("bad.txt", "start 02\ndata\nend 03\nmessage m\nfield X u17\n");
        QAction* gate = protocolMenu().actions().value(5);
        QCOMPARE(gate->text(), QString::fromUtf8("gate — Gate 3"));
        QCOMPARE(gate->toolTip(), QDir(ProtocolFolder()).filePath("gate.txt"));
        QAction* bad = protocol().protocolMenu().choice("bad");
        QVERIFY(bad && !bad->isEnabled());
        const QString refusal = "Protocols/bad.txt line 5: \"u17\" is not a field type";
        QCOMPARE(bad->toolTip(), refusal);
        gate->trigger();
        QCOMPARE(log().line(log().count() - 1), "Protocol: gate");
        // Frames cut by it, and what is typed completed into one.
        QVERIFY(pty->write(QByteArray::fromHex("0241034202420341")));
        QTRY_COMPARE(replies().size(), 2);
        QCOMPARE(replies().at(1)->bytes(), QByteArray::fromHex("02420341"));
        QVERIFY(replies().at(1)->details() != "not a frame of gate");
        send("A");
        QCOMPARE(pty->readExactly(4), QByteArray::fromHex("02410342"));
        // Edited on disk: taken up once read again; with a mistake, the one before stays.
        describe("gate.txt", "start 02\ndata\nend 04\ncheck bcc from 1\n");
        protocolMenu();
        QVERIFY(pty->write(QByteArray::fromHex("0241044502420446")));
        QTRY_COMPARE(replies().size(), 4);
        QCOMPARE(replies().at(3)->bytes(), QByteArray::fromHex("02420446"));
        describe("gate.txt", "start 02\nend 04\nnonsense\n");
        protocolMenu();
        protocolMenu();
        QVERIFY(pty->write(QByteArray::fromHex("0241044502420446")));
        QTRY_COMPARE(replies().size(), 6);
        QCOMPARE(replies().at(5)->bytes(), QByteArray::fromHex("02420446"));
        QCOMPARE(log().lines().filter("Protocols/bad.txt").size(), 1);
        QCOMPARE(log().lines().filter("Protocols/gate.txt").size(), 1);
        gate = protocol().protocolMenu().choice("gate");
        QVERIFY(gate->isChecked() && !gate->isEnabled());
        // A change seen on disk is taken up without the menu.
        describe("gate.txt", "start 02\ndata\nend 04\ncheck sum8 from 1\n");
        QTRY_COMPARE(checksumShown(), "sum8, by gate");
    }

    void savedAsAnOsdpTrace()
    {
        send("<01><60>");
        QCOMPARE(pty->readExactly(9), kPoll);
        QVERIFY(pty->write(kAck + kPoll));
        QTRY_COMPARE(replies().size(), 2);
        const QTemporaryDir dir;
        const QString path = dir.filePath("session.osdpcap");
        w->logActions().saveLog(path);
        QTRY_COMPARE(log().line(log().count() - 1),
                     "Log saved: " + path + " (3 lines, OSDP trace)");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<OsdpCapRecord> read;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (const auto record = ReadOsdpCapLine(line))
                read << *record;
        QList<OsdpCapRecord> expected;
        for (int row = 0; row < log().count() - 1; ++row)
            if (const LogLine& line = log().record(row); line.hasBytes())
                expected << OsdpCapRecord{line.timeMs() / 1000,
                                          int(line.timeMs() % 1000) * 1000000,
                                          line.kind() == LogLine::Kind::Output
                                              ? SessionStream::Output
                                              : SessionStream::Input,
                                          line.bytes(),
                                          "1",
                                          "accessterm 1.0"};
        QCOMPARE(read, expected);
        QCOMPARE(read.size(), 3);
        QCOMPARE(read.at(1).data, kAck);
    }
};

QTEST_MAIN(tst_ProtocolFiles)
#include "tst_protocolfiles.moc"
