// Protocol descriptions read: the built-ins, and descriptions refused whole with the line of
// their first mistake and what it is.
#include "protocol/DescriptionReader.h"
#include "protocol/DescriptionWords.h"

#include "support/ProtocolBytes.h"

#include <QTest>

namespace
{

// A small description that reads, for the rows below to add to or break.
const char* const Base = "start 02\ndata\nend 03\ncheck bcc from 1\n";

} // namespace

class tst_DescriptionReader : public QObject
{
    Q_OBJECT
private slots:
    void builtins()
    {
        QCOMPARE(BuiltinProtocols::Names(), QStringList({"osdp", "modbus-rtu", "stx-etx-bcc"}));
        for (const QString& name : BuiltinProtocols::Names()) {
            const QString text = BuiltinProtocols::Text(name);
            const DescriptionReading reading =
                ReadDescription(text.toStdString(), name.toStdString());
            QVERIFY2(reading.ok(), reading.Describe(name.toStdString()).c_str());
            QCOMPARE(QString::fromStdString(reading.description->name), name);
            QVERIFY(BuiltinProtocols::Find(name));
        }
        QVERIFY(!BuiltinProtocols::Find("nope") && BuiltinProtocols::Text("nope").isEmpty());
        const Description& osdp = *Builtin("osdp");
        QCOMPARE(osdp.start(), std::string("\x53"));
        QCOMPARE(osdp.mark, 0xFF);
        QVERIFY(osdp.markSent);
        QCOMPARE(osdp.fields[std::size_t(osdp.lengthField)].name, std::string("LEN"));
        QCOMPARE(osdp.fields[std::size_t(osdp.codeField)].name, std::string("CODE"));
        QCOMPARE(osdp.check.chosen->name, std::string_view("crc16-osdp"));
        QCOMPARE(osdp.check.otherwise->name, std::string_view("lrc"));
        QCOMPARE(osdp.messages[std::size_t(osdp.FindMessage("osdp_PDID"))].direction,
                 Direction::Reply);
        QCOMPARE(osdp.messages[std::size_t(osdp.FindMessage("osdp_ID"))].fixedSize, 1);
        const Description& modbus = *Builtin("modbus-rtu");
        const MessageSpec& reply =
            modbus.messages[std::size_t(modbus.FindMessage("read_holding_registers_reply"))];
        QCOMPARE(modbus.fields[std::size_t(reply.lengthField)].name, std::string("COUNT"));
        QCOMPARE(reply.fixedSize, -1);
        QCOMPARE(modbus.messages[std::size_t(modbus.FindMessage("exception"))].fixedSize, 1);
    }

    void accepted_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("the base") << Base;
        QTest::newRow("CR LF, a byte order mark, comments") << QString::fromUtf8(
            "\xEF\xBB\xBF# a gate\r\nstart 02 # STX\r\ndata\r\nend 03\r\ncheck bcc-hex from 1\r\n");
        QTest::newRow("stuffing, a length after, an optional block")
            << "start 7E\nescape 7D xor 20\nfield LEN u16be counts after -2\nfield FLAGS u8\n"
               "bit 0 EXT\nif EXT\nfield EXTRA bytes 2\nend if\ndata\ncheck crc16-kermit\nend 7E\n";
        QTest::newRow("a code, messages, a group counted by a field")
            << "field ADDR u8 hex\nfield CMD u8 hex code\ndata\ncheck sum8\n"
               "message status reply 'S' idle\nfield N u8\ngroup ITEM N\nfield V s16le\n"
               "-1 = none\nend group\nsummary {ITEM} items: {V#}\n";
        QTest::newRow("a check value from the first field")
            << "start 02\nfield ADDR u8\ndata\nend 03\ncheck bcc from ADDR\n";
    }

    void ranges()
    {
        // Values and ranges as a message's codes and a condition list them; "" for refused.
        const char* const cases[][3] = {{"7", "", "7-7"},
                                        {"10,20", "", "10-10 20-20"},
                                        {"1, 4-6", "", "1-1 4-6"},
                                        {"-3--1", "", "-3--1"},
                                        {"0A-0C,FF", "hex", "10-12 255-255"},
                                        {"6-4", "", ""},
                                        {"1,", "", ""},
                                        {"0A", "", ""}};
        for (const auto& [text, hex, expected] : cases) {
            Ranges ranges;
            std::string problem;
            QString got;
            if (ReadRanges(text, *hex != 0, ranges, problem)) {
                for (const auto& [low, high] : ranges)
                    got +=
                        QStringLiteral("%1%2-%3").arg(got.isEmpty() ? "" : " ").arg(low).arg(high);
            } else {
                QVERIFY2(problem.find("is not a value") != std::string::npos, problem.c_str());
            }
            QCOMPARE(got, QString::fromLatin1(expected));
        }
    }

    void accepted()
    {
        QFETCH(QString, text);
        const DescriptionReading reading = ReadDescription(text.toStdString(), "gate");
        QVERIFY2(reading.ok(), reading.Describe("gate").c_str());
    }

    void refused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("problem");
        const auto row = [](const char* name, QString text, int line, const char* problem) {
            QTest::newRow(name) << text << line << QString::fromUtf8(problem);
        };
        const QString base = QString::fromLatin1(Base);
        row("a type", base + "message m\n\nfield SERIAL u17", 7, "\"u17\" is not a field type");
        row("a byte order", "field LEN u16 counts frame", 1,
            "\"u16\" needs its byte order: u16le or u16be");
        row("a statement", "# a gate\nframe 02", 2, "\"frame\" is not a statement");
        row("a byte", "start 2G", 1, "\"2G\" is not a byte in hex, such as 02 or FF");
        row("no data", "start 02\n", 1, "no \"data\" says where a message's data goes");
        row("no end", "start 02\ndata\n", 2,
            "nothing tells where a frame ends: give a length field (\"counts\"), end bytes or a "
            "check value");
        row("an end before the data", "start 02\nend 03", 2, "the end bytes come after \"data\"");
        row("a check before the data", "check lrc\ndata", 1,
            "the check value comes after \"data\"");
        row("a check not in the catalogue", "data\ncheck crc99", 2,
            "\"crc99\" is not a check value of the catalogue");
        row("a field not there", "field DATA bytes LEN", 1, "\"LEN\" is not a field");
        row("a field twice", "field A u8\nfield A u8", 2, "\"A\" is already a field");
        row("rest in the frame", "field A bytes rest", 1, "\"rest\" belongs to a message's data");
        row("a field after the data", "data\nfield A u8\nfield B bytes A\ncheck lrc", 3,
            "a field after \"data\" has a size of its own, as \"bytes 4\"");
        row("bits past the field", "field A u8\nbits 6-9 B", 2, "bit 9 is not a bit of A");
        row("bits of nothing", "bit 1 B", 1,
            "bits follow the number field they are part of, or name it with \"of\"");
        row("a value's name first", "60 = POLL", 1,
            "a value's name follows the number field or bits it names");
        row("a value in the wrong base", "field C u8 hex\n6G = POLL", 2,
            "\"6G\" is not a value of C (in hex)");
        row("codes with no code", base + "message m command 60", 5,
            "no field is the message's code: mark one \"code\"");
        row("a frame statement late", base + "message m\nmark FF", 6,
            "\"mark\" describes the frame: say it before the first message");
        row("data inside if", "field A u8\nif A\ndata", 3, "\"data\" cannot stand inside \"if\"");
        row("an if not ended", base + "message m\nfield A u8\nif A\nfield B u8", 7,
            "\"if\" is not closed by \"end\"");
        row("an end that ends nothing", base + "end group", 5, "\"end group\" ends nothing open");
        row("a summary's field", base + "summary at {NOPE}", 5, "\"NOPE\" is not a field");
        row("a restart's message", base + "restart on nope", 5, "\"nope\" is not a message");
        row("a mark with no start", "mark FF\ndata\ncheck lrc", 1,
            "a mark goes before start bytes, and there are none");
        row("the longest", base + "shortest 9\nlongest 8", 6,
            "the longest frame is shorter than the shortest");
        row("a gap", base + "gap 0", 5, "\"gap\" wants one number from 1 to 60000");
        row("a group in the frame", "group G 2", 1, "a group belongs to a message's data");
        row("a message twice", base + "message m\nmessage m", 6, "\"m\" is already a message");
        row("a length twice", "field A u8 counts frame\nfield B u8 counts frame", 2,
            "a length is one unsigned field, outside \"if\" and \"group\", before \"data\" for "
            "the frame's");
    }

    void refused()
    {
        QFETCH(QString, text);
        const DescriptionReading reading = ReadDescription(text.toStdString(), "gate");
        QVERIFY(!reading.ok());
        QTEST(reading.line, "line");
        QTEST(QString::fromStdString(reading.problem), "problem");
        QFETCH(int, line);
        QFETCH(QString, problem);
        QCOMPARE(QString::fromStdString(reading.Describe("Protocols/gate.txt")),
                 QStringLiteral("Protocols/gate.txt line %1: %2").arg(line).arg(problem));
    }
};

QTEST_GUILESS_MAIN(tst_DescriptionReader)
#include "tst_descriptionreader.moc"
