// Saved sessions read back and decoded: the traffic lines of a saved log or the shell's output,
// a capture file's lines, OSDP traces, cut into frames by a protocol whatever pieces they come in.
#include "support/ProtocolBytes.h"
#include "terminal/OsdpCap.h"
#include "terminal/ProtocolCatalogue.h"
#include "terminal/SessionDecoder.h"

#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace
{

// What the reader hands on, one "O:" or "I:" and hex pairs a line; pieces of one stream that
// follow each other joined.
QStringList ReadBack(const QByteArray& text, qsizetype piece, QStringList* problems = nullptr)
{
    QStringList out;
    SessionTextReader reader([&](SessionStream stream, std::string_view bytes) {
        const QString way = stream == SessionStream::Output ? "O:" : "I:";
        if (!out.isEmpty() && out.last().startsWith(way) && piece < text.size())
            out.last() += ' ' + Hex(bytes);
        else
            out << way + Hex(bytes);
    });
    for (qsizetype at = 0; at < text.size(); at += piece)
        reader.Feed(QByteArrayView(text).sliced(at, qMin(piece, text.size() - at)));
    reader.Finish();
    if (problems)
        *problems = reader.problems();
    return out;
}

std::shared_ptr<const Description> Kestrel()
{
    QFile file(QStringLiteral(ACCESSTERM_SOURCE "/docs/examples/kestrel-dc4.txt"));
    file.open(QIODevice::ReadOnly);
    return ProtocolCatalogue::ReadText(file.readAll(), "kestrel-dc4", "kestrel-dc4.txt")
        .description;
}

} // namespace

class tst_SessionDecoding : public QObject
{
    Q_OBJECT
private slots:
    void textReadBack_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("saved log")
            << QByteArray("2026-12-10 04:09:36.123  Connect Succeed\n"
                          "2026-12-10 04:09:36.200  [Output]------A<02>B\n"
                          "2026-12-10 04:09:36.500  [Input]------<06>\xC2\x85\tack\n"
                          "2026-12-10 04:09:36.501  [Input]+-----<0D>\n")
            << QStringList({"O:41 02 42", "I:06 85", "I:0D"});
        QTest::newRow("shell output, typed tokens")
            << QByteArray("[Output]------<4142><>x\n12:00:01.000  [Input]------a<b\n"
                          "No reply to command 2: x\n")
            << QStringList({"O:41 00 78", "I:61 3C 62"});
        QTest::newRow("shell output in hex")
            << QByteArray("[Output]------A B\n[Input]------06\n[Input]------02 4F 4B\t\n"
                          "[Input]------06\n")
            << QStringList({"O:41 20 42", "I:30 36", "I:02 4F 4B", "I:06"});
        QTest::newRow("a summary after an open <")
            << QByteArray("[Input]------a<\tx\n[Input]------b\n")
            << QStringList({"I:61 3C", "I:62"});
        QTest::newRow("saved log with CR LF")
            << QByteArray("12:00:00.000  Open Comport\r\n[Input]------<06>\r\n")
            << QStringList({"I:06"});
        QTest::newRow("capture file") << QByteArray("<02>OK<03>\r\n\xE9<0D>\r\n")
                                      << QStringList({"I:02 4F 4B 03", "I:E9 0D"});
    }
    void textReadBack()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, expected);
        QCOMPARE(ReadBack(text, text.size()), expected);
        // Any split of the text gives the same bytes.
        QStringList joined;
        for (const QString& line : expected) {
            if (!joined.isEmpty() && joined.last().left(2) == line.left(2))
                joined.last() += ' ' + line.mid(2);
            else
                joined << line;
        }
        QCOMPARE(ReadBack(text, 1), joined);
    }

    void longLinesAndProblems()
    {
        const QByteArray line = "[Input]------" + QByteArray("<41>").repeated(100000) + "<4";
        const QStringList long_ = ReadBack(line + "\nx\n", 4093);
        QCOMPARE(long_.size(), 1);
        QCOMPARE(long_[0].size(), 2 + 100002 * 3 - 1);
        QVERIFY(long_[0].endsWith("41 3C 34"));
        QStringList problems;
        QCOMPARE(ReadBack("[Input]------\xE2\x82\xAC\n[Input]------<07>\n", 5, &problems),
                 QStringList({"I:07"}));
        QCOMPARE(problems, QStringList({"line 1: character U+20AC \"€\" at position 1 has no "
                                        "byte in the code page"}));
        // A line not read back is passed over whole, however long.
        const QByteArray euro = "[Input]------\xE2\x82\xAC" + QByteArray(300000, 'A') +
                                "\n[Input]------a<b\xE2\x82\xAC\n";
        QCOMPARE(ReadBack(euro, euro.size(), &problems), QStringList());
        QVERIFY(problems.size() == 2 && problems[1].startsWith("line 2: character U+20AC \"€\" at "
                                                               "position 4 "));
        const QByteArray hex = "[Input]------02 4F 0\n[Input]------06\n";
        QCOMPARE(ReadBack(hex, hex.size(), &problems), QStringList({"I:02 4F", "I:06"}));
        QCOMPARE(problems, QStringList({"line 1: a hex digit without its pair"}));
    }

    void decodedInAnyPieces()
    {
        QFile capture(QStringLiteral(ACCESSTERM_SOURCE "/docs/examples/kestrel-dc4.bin"));
        QVERIFY(capture.open(QIODevice::ReadOnly));
        // Cut off by the end of the capture, the start of one more frame is kept as no frame.
        const std::string bytes = capture.readAll().toStdString() + "\x02\x01";
        QStringList first;
        for (int round = 0; round < 20; ++round) {
            SessionDecoder decoder(Kestrel());
            std::vector<DecodedPiece> pieces;
            for (std::size_t at = 0; at < bytes.size();) {
                const std::size_t size =
                    round == 0 ? bytes.size() : QRandomGenerator::global()->bounded(1, 9);
                decoder.Feed(SessionStream::Input, std::string_view(bytes).substr(at, size), 0,
                             pieces);
                at += size;
            }
            decoder.Flush(pieces);
            // Bytes that are no frame may come in more pieces than one.
            QStringList lines;
            std::string joined;
            for (const DecodedPiece& piece : pieces) {
                joined += piece.piece.bytes;
                if (round == 0 || piece.piece.kind != CutPiece::Kind::NotAFrame)
                    lines << piece.Line(false);
            }
            QCOMPARE(joined, bytes);
            if (round == 0)
                first = lines;
            else
                QCOMPARE(lines.size(), first.size() - 2);
        }
        QCOMPARE(first.size(), 8);
        QCOMPARE(first[1],
                 QStringLiteral("[Input]------<02><01><08>1<00>&<12><10>0<09><15>0ðf<03>"
                                "\tstatus  door controller 01  door closed at 261210091530"));
        QCOMPARE(first[4], QStringLiteral("[Input]------<00>ÿ"));
        QVERIFY(first[5].endsWith(
            "\tevent  door controller 01  event 298 card 12345678 granted at 261210091531"));
        QVERIFY(
            first[6].endsWith("unknown card at 261210091602  crc16-xmodem 9CF8, expected 9CF9"));
        QCOMPARE(first[7], QStringLiteral("[Input]------<02><01>"));
    }

    void osdpTraces()
    {
        // As two of the OSDP tools write them: spaced and dashed hex, times as strings.
        const std::optional<OsdpCapRecord> published =
            ReadOsdpCapLine("{ \"timeSec\" : \"1580342115\", \"timeNano\" : \"984691851\", \"io\" "
                            ": \"trace\", \"data\" : \" ff ff 53 80 08 00 01 4b 01 d8\", "
                            "\"osdpTraceVersion\":\"1\", \"osdpSource\":\"a tool 0.91-5\" }");
        QVERIFY(published);
        QCOMPARE(published->ms(), 1580342115984);
        QCOMPARE(published->io, SessionStream::Trace);
        QCOMPARE(Hex(published->data.toStdString()),
                 QStringLiteral("FF FF 53 80 08 00 01 4B 01 D8"));
        QCOMPARE(published->source, QStringLiteral("a tool 0.91-5"));
        const std::optional<OsdpCapRecord> dashed = ReadOsdpCapLine(
            "{\"timeSec\":1700000000,\"timeNano\":0,\"io\":\"output\",\"data\":\"53-00-"
            "0D-00-06-6A\",\"osdpTraceVersion\":\"1\",\"osdpSource\":\"x\"}");
        QVERIFY(dashed && dashed->io == SessionStream::Output && dashed->ms() == 1700000000000);
        QCOMPARE(dashed->data, QByteArray::fromHex("53000D00066A"));
        const std::optional<OsdpCapRecord> last = ReadOsdpCapLine(
            "{\"timeSec\":\"253402300799\",\"timeNano\":\"999999999\",\"io\":\"input\","
            "\"data\":\"53\"}"); // the last nanosecond of the year 9999
        QVERIFY(last && last->ms() == 253402300799999);
        QString why;
        for (const char* wrong :
             {"{\"timeSec\":\"1\",\"timeNano\":\"2\",\"io\":\"sideways\",\"data\":\"\"}",
              "{\"timeSec\":\"1\",\"timeNano\":\"2\",\"io\":\"input\",\"data\":\"5\"}",
              "{\"timeSec\":\"x\",\"timeNano\":\"2\",\"io\":\"input\",\"data\":\"\"}",
              "{\"timeSec\":\"253402300800\",\"timeNano\":\"2\",\"io\":\"input\","
              "\"data\":\"\"}",
              "[1]", "{"})
            QVERIFY2(!ReadOsdpCapLine(wrong, &why) && !why.isEmpty(), wrong);
        // Written and read back equal, in the tools' order of the fields.
        OsdpCapRecord record{1765339776,
                             5000000,
                             SessionStream::Input,
                             QByteArray::fromHex("ff530108000460ba00"),
                             "1",
                             "accessterm \"1.0\""};
        const QByteArray line = OsdpCapLine(record);
        QCOMPARE(
            line,
            QByteArray("{\"timeSec\":\"1765339776\",\"timeNano\":\"005000000\",\"io\":\"input\","
                       "\"data\":\"ff 53 01 08 00 04 60 ba 00\",\"osdpTraceVersion\":\"1\","
                       "\"osdpSource\":\"accessterm \\\"1.0\\\"\"}"
                       "\n"));
        QCOMPARE(ReadOsdpCapLine(line), std::optional(record));
        // A trace file: each record there as it is written, at the time it was.
        QTemporaryDir dir;
        OsdpCapWriter writer("accessterm 1.0");
        QVERIFY(!writer.Open(dir.filePath("none/trace.osdpcap")));
        QVERIFY(writer.Open(dir.filePath("trace.osdpcap")));
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(writer.Write(SessionStream::Trace, record.data));
        QVERIFY(writer.Write(SessionStream::Output, "\x01"));
        QFile trace(dir.filePath("trace.osdpcap"));
        QVERIFY(trace.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = trace.readAll().split('\n');
        QCOMPARE(lines.size(), 3);
        const std::optional<OsdpCapRecord> first = ReadOsdpCapLine(lines[0]);
        QVERIFY(first && first->data == record.data && first->io == SessionStream::Trace);
        QVERIFY(first->ms() >= before && first->ms() <= QDateTime::currentMSecsSinceEpoch());
        QCOMPARE(ReadOsdpCapLine(lines[1])->source, QStringLiteral("accessterm 1.0"));
    }
};

QTEST_GUILESS_MAIN(tst_SessionDecoding)
#include "tst_sessiondecoding.moc"
