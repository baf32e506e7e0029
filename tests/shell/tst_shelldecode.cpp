// accessterm protocol show and check, decode of saved sessions and OSDP traces, and listen
// --trace, as a script runs them, on the worked example of docs/protocols.md.
#include "support/ShellProcess.h"
#include "terminal/OsdpCap.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

namespace
{

const QString Examples = QStringLiteral(ACCESSTERM_SOURCE "/docs/examples/");
// A description with a mistake on its third line.
const QTemporaryDir Scratch;
const QString Broken = [] {
    QFile file(Scratch.filePath("broken.txt"));
    file.open(QIODevice::WriteOnly);
    file.write("start 02\ndata\nfield X u17\n");
    return file.fileName();
}();

} // namespace

class tst_ShellDecode : public QObject
{
    Q_OBJECT
private slots:
    void run_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input"); // standard input
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const auto row = [](const char* name, QString arguments, const QByteArray& input,
                            int status, const char* out, const QString& err) {
            QTest::newRow(name) << arguments.replace("EX/", Examples).split(' ') << input << status
                                << QString::fromUtf8(out) << err;
        };
        row("check a description", "protocol check EX/kestrel-dc4.txt", "", 0,
            "kestrel-dc4: Kestrel DC-4 door controller, 5 messages\n", "");
        row("check a mistake", "protocol check " + Broken, "", 2, "",
            Broken + " line 3: \"u17\" is not a field type\n");
        row("show a built-in", "protocol show stx-etx-bcc", "", 0,
            "# STX ... ETX with a BCC after it", "");
        row("show what is not there", "protocol show nope", "", 2, "",
            "\"nope\" is neither a protocol's name nor a description file\n");
        row("list names where each comes from", "protocol list", "", 0,
            "osdp         OSDP (Open Supervised Device Protocol), built in\n", "");
        row("decode a capture", "decode --protocol EX/kestrel-dc4.txt --raw EX/kestrel-dc4.bin", "",
            0,
            "[Input]------<02><01><01>02R<03>\tstatus_request  door controller 01\n"
            "[Input]------<02><01><08>1<00>&<12><10>0<09><15>0ðf<03>\tstatus  door controller "
            "01  door closed at 261210091530\n",
            "");
        row("decode a saved log from standard input", "decode --protocol EX/kestrel-dc4.txt --hex",
            "2026-12-10 09:15:30.431  [Input]------<02><01><08>1<00>&<12><10>0\n"
            "Open Comport\n"
            "2026-12-10 09:15:30.733  [Input]------<09><15>0\xC3\xB0"
            "f<03>\n[Input]------\xE2\x82\xAC\n",
            1,
            "[Input]------02 01 08 31 00 26 12 10 30 09 15 30 F0 66 03\tstatus  door controller "
            "01  door closed at 261210091530\n",
            "decode: line 4: character U+20AC");
        row("decode a trace", "decode --osdpcap /dev/stdin",
            "{\"timeSec\":\"1\",\"timeNano\":\"0\",\"io\":\"output\",\"data\":\"ff 53 01 08 00 04 "
            "60 ba 00\",\"osdpTraceVersion\":\"1\",\"osdpSource\":\"x\"}\n\nnot json\n",
            1, "00:00:01.000  [Output]------ÿS<01><08><00><04>`º<00>\tosdp_POLL  PD 01  SQN 0\n",
            "decode: line 3: ");
        row("no such protocol", "decode --protocol nope", "", 2, "", "decode: \"nope\" is neither");
        row("no such file", "decode --protocol osdp /nonexistent/x", "", 2, "",
            "decode: /nonexistent/x not read: ");
    }
    void run()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(QString, out);
        QFETCH(QString, err);
        ShellProcess shell(arguments, {"TZ=UTC"});
        shell.process.write(input);
        shell.process.closeWriteChannel();
        QTEST(shell.status(), "status");
        const QString said = shell.out();
        const QString saidErr = shell.err();
        QVERIFY2(out.isEmpty() ? said.isEmpty() : said.contains(out), qPrintable(said));
        QVERIFY2(err.isEmpty() ? saidErr.isEmpty() : saidErr.contains(err), qPrintable(saidErr));
    }

    void listenWritesATrace()
    {
        QTcpServer peer;
        QVERIFY(peer.listen(QHostAddress::LocalHost));
        const QByteArray poll = QByteArray::fromHex("ff530108000460ba00");
        connect(&peer, &QTcpServer::newConnection, this,
                [&] { peer.nextPendingConnection()->write(poll); });
        QTemporaryDir dir;
        const QString trace = dir.filePath("line.osdpcap");
        ShellProcess shell({"listen", "--tcp",
                            QStringLiteral("127.0.0.1:%1").arg(peer.serverPort()), "--for", "1",
                            "--trace", trace});
        QCOMPARE(shell.status(), 0);
        QFile file(trace);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const std::optional<OsdpCapRecord> record = ReadOsdpCapLine(file.readLine());
        QVERIFY(record && record->io == SessionStream::Trace && record->data == poll);
        QCOMPARE(record->source, QStringLiteral("accessterm 1.0"));
        ShellProcess unwritable(
            {"listen", "--tcp", "127.0.0.1:1", "--trace", dir.filePath("no/x")});
        QCOMPARE(unwritable.status(), 2);
        QVERIFY(unwritable.err().contains(dir.filePath("no/x") + " not written: "));
    }
};

QTEST_GUILESS_MAIN(tst_ShellDecode)
#include "tst_shelldecode.moc"
