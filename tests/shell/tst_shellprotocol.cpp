// The shell's modes with --protocol, each a real process on a pseudo-terminal: send completes
// commands and numbers them, answer stands in as the device, listen on a tap hearing both ways
// prints one line per frame, and check matches a frame's summary.
#include "support/PtyPair.h"
#include "support/ShellProcess.h"

#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>

namespace
{

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& text)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

// The wire between two programs' serial ports, and a tap that hears both ways.
class Wire
{
public:
    Wire()
    {
        join(m_a, m_b);
        join(m_b, m_a);
    }
    QString a() const { return m_a.slavePath(); }
    QString b() const { return m_b.slavePath(); }
    QString tap() const { return m_tap.slavePath(); }

private:
    void join(PtyPair& from, PtyPair& to)
    {
        auto* notifier = new QSocketNotifier(from.masterFd(), QSocketNotifier::Read, &m_parent);
        QObject::connect(notifier, &QSocketNotifier::activated, [&from, &to, this] {
            char bytes[4096];
            const ssize_t n = ::read(from.masterFd(), bytes, sizeof bytes);
            if (n > 0) {
                to.write(QByteArray(bytes, n));
                m_tap.write(QByteArray(bytes, n));
            }
        });
    }
    PtyPair m_a, m_b, m_tap;
    QObject m_parent;
};

// The summaries of a program's lines, after their tabs.
QStringList Summaries(const QString& output)
{
    QStringList summaries;
    for (const QString& line : output.split('\n', Qt::SkipEmptyParts))
        summaries << line.section('\t', 1);
    return summaries;
}

} // namespace

class tst_ShellProtocol : public QObject
{
    Q_OBJECT
private slots:
    void osdpSentToAStandInAndHeardOnATap()
    {
        Wire wire;
        const QString rules = Write(m_dir, "osdp.txt",
                                    "^osdp_ID  = <01><45><0A><0B><0C><05><01><78><56><34><12>"
                                    "<02><03><04>\n"
                                    "^osdp_POLL  = <01><40>\n"
                                    "^osdp_CAP  = <01><46><01><02><01><04><04><01><08><01><01>\n");
        ShellProcess reader(
            {"answer", "--protocol", "osdp", "--serial", wire.b(), "--answers", rules});
        QVERIFY2(reader.outputHas(" rules from "), qPrintable(reader.err()));
        const QString trace = m_dir.filePath("tap.osdpcap");
        ShellProcess tap(
            {"listen", "--protocol", "osdp", "--serial", wire.tap(), "--trace", trace});
        QVERIFY(tap.process.waitForStarted());
        ShellProcess panel({"send", "--protocol", "osdp", "--serial", wire.a(), "<01><61><00>",
                            "<01><60>", "<01><62><00>"});
        QCOMPARE(panel.status(), 0);
        const QStringList exchange{
            "osdp_ID  PD 01  SQN 0",   "osdp_PDID  PD 01  SQN 0  vendor 0A0B0C serial 12345678",
            "osdp_POLL  PD 01  SQN 1", "osdp_ACK  PD 01  SQN 1",
            "osdp_CAP  PD 01  SQN 2",  "osdp_PDCAP  PD 01  SQN 2  3 functions: 1 4 8"};
        const QString sent = panel.out();
        QCOMPARE(Summaries(sent), exchange);
        QVERIFY(sent.startsWith("[Output]------ÿS<01><09><00><04>a<00>"));
        QVERIFY2(sent.contains("\n[Input]------ÿS<81><14><00><04>E<0A><0B><0C>"), qPrintable(sent));
        QVERIFY(tap.outputHas("3 functions"));
        tap.process.terminate();
        QCOMPARE(tap.status(), 0);
        QStringList heard = Summaries(tap.output + tap.out());
        QCOMPARE(heard, exchange);
        // The trace holds a record a packet, each as heard.
        QFile records(trace);
        QVERIFY(records.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = records.readAll().split('\n');
        QCOMPARE(lines.size(), exchange.size() + 1);
        QVERIFY2(lines[1].contains("\"io\":\"trace\"") &&
                     lines[1].contains("\"data\":\"ff 53 81 14 00 04 45 0a 0b 0c"),
                 lines[1].constData());
        QVERIFY(reader.outputHas("osdp_PDCAP  PD 01  SQN 2  3 functions: 1 4 8  (line 3)"));

        // check: an expectation finds a frame's summary or, separately, its bytes.
        const QString script = Write(m_dir, "check.txt",
                                     "send <01><60>\n"
                                     "expect ^osdp_ACK  PD 01  SQN 0$\n"
                                     "send <01><60>\n"
                                     "expect ^<FF>S<81><08><00><05>@\n"
                                     "send <01><60>\n"
                                     "expect osdp_NAK within 300\n");
        ShellProcess check({"check", "--protocol", "osdp", "--serial", wire.a(), script});
        QCOMPARE(check.status(), 1);
        QCOMPARE(check.out().split('\n').filter(QRegularExpression("ok|passed")),
                 (QStringList{"ok 1 line 2: expect ^osdp_ACK  PD 01  SQN 0$",
                              "ok 2 line 4: expect ^<FF>S<81><08><00><05>@",
                              "not ok 3 line 6: expect osdp_NAK within 300: got "
                              "<FF>S<81><08><00><06>@j`",
                              "2 passed, 1 failed"}));
    }

    void modbusBothWays()
    {
        Wire wire;
        const QString rules =
            Write(m_dir, "modbus.txt",
                  "read_holding_registers  = <11><03><06><02><2B><00><00><00><64>\n");
        ShellProcess slave(
            {"answer", "--protocol", "modbus-rtu", "--serial", wire.b(), "--answers", rules});
        QVERIFY2(slave.outputHas(" rules from "), qPrintable(slave.err()));
        // The engineer's own description, here the built-in's text, named by its file.
        ShellProcess show({"protocol", "show", "modbus-rtu"});
        QCOMPARE(show.status(), 0);
        const QString mine = Write(m_dir, "mine.txt", show.out().toUtf8());
        ShellProcess master({"send", "--protocol", mine, "--serial", wire.a(), "--hex",
                             "<11><03><00><6B><00><03>"});
        QCOMPARE(master.status(), 0);
        QCOMPARE(master.out(),
                 "[Output]------11 03 00 6B 00 03 76 87\tread_holding_registers  unit 17  from "
                 "107 count 3\n"
                 "[Input]------11 03 06 02 2B 00 00 00 64 C8 BA\tread_holding_registers_reply  "
                 "unit 17  values 555 0 100\n");
        QVERIFY(slave.outputHas("[Input]------<11><03><00>k<00><03>v<87>\tread_holding_registers"));

        // A repeat counts frames: each reply complete with its frame, the next sent at once.
        ShellProcess rounds({"send", "--protocol", "modbus-rtu", "--serial", wire.a(), "--repeat",
                             "3", "--every", "reply", "<11><03><00><6B><00><03>"});
        QCOMPARE(rounds.status(), 0);
        const QStringList lines = rounds.out().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 7);
        QCOMPARE(Summaries(lines.mid(0, 2).join('\n')),
                 (QStringList{"read_holding_registers  unit 17  from 107 count 3",
                              "read_holding_registers_reply  unit 17  values 555 0 100"}));
        QVERIFY2(lines.last().startsWith("Repeat done: 3 sent, 3 answered, 0 without"),
                 qPrintable(lines.last()));
    }

    void refusedOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("why");
        QTest::newRow("unknown") << QStringList{"listen", "--protocol", "osdq", "--serial", "1"}
                                 << "\"osdq\" is neither a protocol's name nor a description file";
        QTest::newRow("checksum") << QStringList{"send", "--protocol", "osdp", "--checksum",
                                                 "bcc",  "--serial",   "1",    "<01><60>"}
                                  << "--checksum is not for --protocol";
        QTest::newRow("typed too short")
            << QStringList{"send", "--protocol", "osdp", "--serial", "/dev/null", "<01>"}
            << "Command 1: Nothing sent: osdp wants at least 2 bytes";
    }
    void refusedOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, why);
        ShellProcess shell(arguments);
        QCOMPARE(shell.status(), 2);
        QVERIFY2(shell.err().contains(why), qPrintable(why));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(tst_ShellProtocol)
#include "tst_shellprotocol.moc"
