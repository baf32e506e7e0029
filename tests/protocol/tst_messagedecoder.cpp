// Frames decoded field by field: OSDP and Modbus RTU packets as open implementations' tests and
// the standards' examples give them, and the STX ... ETX template.
#include "protocol/DescriptionReader.h"
#include "protocol/MessageDecoder.h"

#include "support/ProtocolBytes.h"

#include <QTest>

Q_DECLARE_METATYPE(Direction)

class tst_MessageDecoder : public QObject
{
    Q_OBJECT
private slots:
    void decoded_data()
    {
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("fields"); // tooltip lines, in order, not every one
        const auto row = [](const char* name, const char* protocol, Direction direction,
                            const char* frame, const char* summary, const char* fields) {
            QTest::newRow(name) << QByteArray(protocol) << direction << QByteArray::fromHex(frame)
                                << QString::fromUtf8(summary) << QString::fromUtf8(fields);
        };
        const Direction unknown = Direction::Unknown;
        row("osdp POLL", "osdp", unknown, "FF 53 65 08 00 04 60 60 90", "osdp_POLL  PD 65  SQN 0",
            "ADDR 65|  PD 65|  REPLY 0|LEN 8|CTRL 04|  SQN 0|  CRC 1 CRC-16|  SCB 0|"
            "CODE 60 osdp_POLL|crc16-osdp 6090 ok");
        row("osdp ID", "osdp", unknown, "FF 53 65 09 00 05 61 00 E9 4D", "osdp_ID  PD 65  SQN 1",
            "CODE 61 osdp_ID|REPLY_TYPE 0 standard PD ID|crc16-osdp E94D ok");
        row("osdp ACK, a reply by its address", "osdp", Direction::Command,
            "53 81 08 00 05 40 39 35", "osdp_ACK  PD 01  SQN 1", "  REPLY 1|CODE 40 osdp_ACK");
        row("osdp PDID", "osdp", unknown,
            "53 81 14 00 06 45 0A 0B 0C 05 01 78 56 34 12 02 03 04 9F 5F",
            "osdp_PDID  PD 01  SQN 2  vendor 0A0B0C serial 12345678",
            "VENDOR 0A0B0C|MODEL 5|VERSION 1|SERIAL 12345678|FIRMWARE_MAJOR 2|FIRMWARE_MINOR 3|"
            "FIRMWARE_BUILD 4|crc16-osdp 9F5F ok");
        row("osdp RAW card data", "osdp", unknown,
            "53 80 16 00 07 50 00 00 4B 00 09 A4 49 4A A3 27 4C D5 2B C0 00 74",
            "osdp_RAW  PD 00  SQN 3  reader 0 75 bits 09A4494AA3274CD52BC0",
            "READER 0|FORMAT 0 raw bits|BITS 75|CARD 09A4494AA3274CD52BC0");
        row("osdp NAK, checksum", "osdp", unknown, "53 81 08 00 01 41 04 DE",
            "osdp_NAK  PD 01  SQN 1  error 4 unexpected sequence number",
            "  CRC 0 checksum|ERROR 4 unexpected sequence number|lrc DE ok");
        row("osdp PDCAP", "osdp", unknown, "53 81 11 00 04 46 01 01 08 04 04 01 08 01 00 BE 33",
            "osdp_PDCAP  PD 01  SQN 0  3 functions: 1 4 8",
            "CAPABILITY 1|  FUNCTION 1 contact status monitoring|  COMPLIANCE 1|  NUMBER 8|"
            "CAPABILITY 2|  FUNCTION 4 reader LED control|CAPABILITY 3|"
            "  FUNCTION 8 check character support|  COMPLIANCE 1|  NUMBER 0");
        row("osdp POLL with a MAC", "osdp", unknown, "53 01 0E 00 0D 02 15 60 01 02 03 04 85 DC",
            "osdp_POLL  PD 01  SQN 1",
            "  SCB 1|SEC_BLK_LEN 2|SEC_BLK_TYPE 15 SCS_15 command, MAC|SEC_BLK_DATA|"
            "CODE 60 osdp_POLL|MAC 01020304|crc16-osdp 85DC ok");
        row("osdp TEXT encrypted", "osdp", unknown,
            "53 01 1E 00 0E 02 17 6B 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF A1 B2 C3 D4 "
            "CC 4F",
            "osdp_TEXT  PD 01  SQN 2  encrypted",
            "SEC_BLK_TYPE 17 SCS_17 command, encrypted|CODE 6B osdp_TEXT|"
            "DATA 00112233445566778899AABBCCDDEEFF encrypted|MAC A1B2C3D4");
        row("osdp CRC failing", "osdp", unknown, "FF 53 65 08 00 04 60 60 91",
            "osdp_POLL  PD 65  SQN 0", "crc16-osdp 6091 expected 6090");
        row("osdp ACK, a byte too many", "osdp", unknown, "53 81 09 00 04 40 00 97 C2",
            "osdp_ACK  PD 01  SQN 0", "EXTRA 00|1 byte more than osdp_ACK holds.");
        row("osdp, a reply code in a command", "osdp", unknown, "53 01 08 00 06 40 6A 60",
            "CODE 40  PD 01  SQN 2", "CODE 40 osdp_ACK");
        row("no osdp frame", "osdp", unknown, "41 42", "not a frame of osdp",
            "The bytes are no frame of osdp.");
        row("modbus read holding registers", "modbus-rtu", unknown, "11 03 00 6B 00 03 76 87",
            "read_holding_registers  unit 17  from 107 count 3",
            "ADDRESS 17|FUNCTION 3 read_holding_registers|START 107|QUANTITY 3|"
            "crc16-modbus 7687 ok");
        row("modbus registers read", "modbus-rtu", unknown, "11 03 06 02 2B 00 00 00 64 C8 BA",
            "read_holding_registers_reply  unit 17  values 555 0 100",
            "COUNT 6|REGISTER 1|  VALUE 555|REGISTER 2|  VALUE 0|REGISTER 3|  VALUE 100");
        row("modbus write register, sent", "modbus-rtu", Direction::Command,
            "01 06 00 01 00 03 98 0B", "write_single_register  unit 1  register 1 = 3",
            "REGISTER 1|VALUE 3");
        row("modbus write register, echoed", "modbus-rtu", Direction::Reply,
            "01 06 00 01 00 03 98 0B", "write_single_register_reply  unit 1  register 1 = 3",
            "FUNCTION 6 write_single_register_reply");
        row("modbus coils read", "modbus-rtu", unknown, "01 01 02 CD 6B AC 83",
            "read_coils_reply  unit 1  10110011 11010110", "COUNT 2|COILS 10110011 11010110");
        row("modbus exception", "modbus-rtu", unknown, "01 83 02 C0 F1",
            "exception  unit 1  read_holding_registers: 2 illegal data address",
            "FUNCTION 131 exception|  REQUEST 3 read_holding_registers|"
            "EXCEPTION 2 illegal data address");
        row("modbus, a function with no message", "modbus-rtu", unknown, "01 07 41 E2",
            "FUNCTION 7  unit 1", "FUNCTION 7|crc16-modbus 41E2 ok");
        row("stx text", "stx-etx-bcc", unknown, "02 4F 44 30 31 03 09", "text  OD01",
            "TEXT OD01|bcc 09 ok");
        row("stx text, a blank and a DEL", "stx-etx-bcc", unknown, "02 20 41 7F 03 1D",
            "text   A<7F>", "TEXT  A<7F>|bcc 1D ok");
    }

    void decoded()
    {
        QFETCH(QByteArray, protocol);
        QFETCH(Direction, direction);
        QFETCH(QByteArray, frame);
        MessageDecoder decoder(Builtin(protocol.constData()));
        const Message message = decoder.Decode(frame.toStdString(), direction);
        QTEST(QString::fromStdString(message.summary), "summary");
        const QStringList lines = QString::fromStdString(message.Tooltip()).split('\n');
        QFETCH(QString, fields);
        qsizetype at = 0;
        for (const QString& field : fields.split(QLatin1Char('|'))) {
            const qsizetype found = lines.indexOf(field, at);
            QVERIFY2(found >= 0, qPrintable(field + QStringLiteral(" in\n") + lines.join('\n')));
            at = found + 1;
        }
    }

    void choice()
    {
        // Of two messages of one code, the one whose size fits the frame; else the open one.
        const DescriptionReading reading =
            ReadDescription("field K u8 code\ndata\ncheck sum8\nmessage short 1\nfield A u8\n"
                            "message long 1\nfield REST bytes rest\n",
                            "two");
        QVERIFY(reading.ok());
        MessageDecoder decoder(reading.description);
        QCOMPARE(decoder.Decode(Bytes("01 AA AB")).type, std::string("short"));
        QCOMPARE(decoder.Decode(Bytes("01 AA BB 66")).type, std::string("long"));
    }

    void details()
    {
        MessageDecoder osdp(Builtin("osdp"));
        // Offsets count the mark; bits name their byte.
        Message poll = osdp.Decode(Bytes("FF 53 65 08 00 04 60 60 90"));
        QVERIFY(poll.idle && poll.check.ok() && !poll.encrypted);
        QCOMPARE(poll.direction, Direction::Command);
        const MessageField* sequence = poll.Field("SQN");
        QVERIFY(sequence && sequence->offset == 5 && sequence->size == 1 && sequence->depth == 1);
        QCOMPARE(sequence->number, std::optional<std::int64_t>(0));
        const MessageField* length = poll.Field("LEN");
        QVERIFY(length && length->offset == 3 && length->size == 2);
        const MessageField* check = poll.Field("crc16-osdp");
        QVERIFY(check && check->offset == 7 && check->size == 2);
        const Message failed = osdp.Decode(Bytes("FF 53 65 08 00 04 60 60 91"));
        QCOMPARE(QString::fromStdString(failed.check.Describe()),
                 QStringLiteral("crc16-osdp 6091, expected 6090"));
        const Message pdid =
            osdp.Decode(Bytes("53 81 14 00 06 45 0A 0B 0C 05 01 78 56 34 12 02 03 04 9F 5F"));
        QCOMPARE(pdid.direction, Direction::Reply);
        QVERIFY(!pdid.idle);
        QCOMPARE(pdid.Field("SERIAL")->number, std::optional<std::int64_t>(0x12345678));
        QVERIFY(osdp.Decode(Bytes("53 01 1E 00 0E 02 17 6B 00 11 22 33 44 55 66 77 88 99 AA BB "
                                  "CC DD EE FF A1 B2 C3 D4 CC 4F"))
                    .encrypted);
        // A frame too short for its check value says so.
        const Message cut = osdp.Decode(Bytes("53 01 08 00 04"));
        QVERIFY(cut.type.empty() && !cut.notes.empty());
    }
};

QTEST_GUILESS_MAIN(tst_MessageDecoder)
#include "tst_messagedecoder.moc"
