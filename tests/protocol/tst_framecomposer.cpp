// Commands and replies completed from what the operator types: lengths, marks, delimiters,
// check values and stuffing filled in, and OSDP's sequence numbers kept by their rule.
#include "protocol/DescriptionReader.h"
#include "protocol/FrameComposer.h"
#include "protocol/FrameCutter.h"
#include "protocol/MessageDecoder.h"

#include "support/ProtocolBytes.h"

#include <QTest>

namespace
{

// An OSDP reply from address with the sequence number, as received and decoded.
Message Reply(MessageDecoder& decoder, int address, int sequence, const char* codeAndData)
{
    Message command; // as far as a reply needs it: its sequence number
    command.fields.resize(1);
    command.fields[0].fieldDef = decoder.description().sequence.field;
    command.fields[0].number = sequence;
    std::string typed = Bytes(codeAndData);
    typed.insert(typed.begin(), char(address));
    return decoder.Decode(ComposeReply(decoder.description(), command, typed).bytes);
}

} // namespace

class tst_FrameComposer : public QObject
{
    Q_OBJECT
private slots:
    void composed_data()
    {
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<QString>("sent");
        const auto row = [](const char* protocol, const char* typed, const char* sent) {
            QTest::newRow(typed) << QByteArray(protocol) << QByteArray::fromHex(typed)
                                 << QString::fromLatin1(sent);
        };
        row("osdp", "01 60", "FF 53 01 08 00 04 60 BA 00");
        row("osdp", "65 61 00", "FF 53 65 09 00 04 61 00 D9 7A");
        row("osdp", "65 76 0102030405060708", "FF 53 65 10 00 04 76 01 02 03 04 05 06 07 08 0D 20");
        row("modbus-rtu", "01 06 00 01 00 0D", "01 06 00 01 00 0D 19 CF");
        row("modbus-rtu", "11 03 00 6B 00 03", "11 03 00 6B 00 03 76 87");
        row("stx-etx-bcc", "4F 44 30 31", "02 4F 44 30 31 03 09");
    }

    void composed()
    {
        QFETCH(QByteArray, protocol);
        QFETCH(QByteArray, typed);
        const auto description = Builtin(protocol.constData());
        ProtocolSession session(description);
        const Composed composed = ComposeCommand(*description, session, typed.toStdString());
        QVERIFY2(composed.ok(), composed.refusal.c_str());
        QTEST(Hex(composed.bytes), "sent");
        // What is sent is one frame, and decodes with its check value right.
        FrameCutter cutter(description);
        std::vector<CutPiece> pieces;
        cutter.Feed(composed.bytes, 0, pieces);
        QCOMPARE(pieces.size(), 1u);
        QCOMPARE(pieces[0].kind, CutPiece::Kind::Frame);
        QVERIFY(MessageDecoder(description).Decode(composed.bytes).check.ok());
    }

    void refused()
    {
        const auto osdp = Builtin("osdp");
        ProtocolSession session(osdp);
        QCOMPARE(ComposeCommand(*osdp, session, Bytes("01")).refusal,
                 std::string("osdp wants at least 2 bytes typed: ADDR, CODE"));
        QCOMPARE(session.Next(1), 0); // nothing sent, nothing counted
        QCOMPARE(ComposeCommand(*osdp, session, std::string(1500, 'A')).refusal,
                 std::string("the frame would be 1506 bytes, and osdp's longest is 1440"));
    }

    void sequence_data()
    {
        // C<address>:<number> composes a command and expects its number; R<address>:<number>
        // receives an ACK carrying the number; N<address>:<number> a NAK for a sequence number;
        // X reopens the link.
        QTest::addColumn<QString>("steps");
        QTest::newRow("0 first, then 1 to 3 as replies come")
            << "C1:0 R1:0 C1:1 R1:1 C1:2 R1:2 C1:3 R1:3 C1:1 R1:1 C1:2";
        QTest::newRow("sent again after no reply, the same number") << "C1:0 C1:0 R1:0 C1:1 C1:1";
        QTest::newRow("a reply with another number moves nothing") << "C1:0 R1:2 C1:0 R1:0 C1:1";
        QTest::newRow("each address its own") << "C1:0 R1:0 C2:0 C1:1 R2:0 C2:1";
        QTest::newRow("a NAK for the sequence, then 0") << "C1:0 R1:0 C1:1 N1:1 C1:0 R1:0 C1:1";
        QTest::newRow("a link opened again, then 0") << "C1:0 R1:0 C1:1 R1:1 X C1:0 C2:0";
    }

    void sequence()
    {
        QFETCH(QString, steps);
        const auto osdp = Builtin("osdp");
        ProtocolSession session(osdp);
        MessageDecoder decoder(osdp);
        for (const QString& step : steps.split(QLatin1Char(' '))) {
            const int address = step.mid(1, 1).toInt();
            const int number = step.mid(3).toInt();
            if (step == QLatin1String("X")) {
                session.Reset();
            } else if (step.startsWith('C')) {
                const Composed sent =
                    ComposeCommand(*osdp, session, std::string{char(address), '\x60'});
                QCOMPARE(decoder.Decode(sent.bytes).Field("SQN")->number,
                         std::optional<std::int64_t>(number));
            } else {
                const Message reply =
                    Reply(decoder, address, number, step.startsWith('N') ? "41 04" : "40");
                QCOMPARE(QString::fromStdString(reply.type), step.startsWith('N')
                                                                 ? QStringLiteral("osdp_NAK")
                                                                 : QStringLiteral("osdp_ACK"));
                session.Observe(reply);
            }
        }
    }

    void aSequencePerTheFirstField()
    {
        const DescriptionReading reading =
            ReadDescription("start 02\nfield ADDR u8\nfield CTRL u8\nbits 0-1 SEQ\ndata\nend 03\n"
                            "check bcc from 1\nsequence SEQ first 0 then 1 to 3 per ADDR on send\n",
                            "gate");
        QVERIFY2(reading.ok(), reading.Describe("gate").c_str());
        const auto gate = reading.description;
        ProtocolSession session(gate);
        MessageDecoder decoder(gate);
        QList<std::int64_t> numbers;
        for (const char address : {'\x01', '\x01', '\x02', '\x01'}) {
            const Composed sent = ComposeCommand(*gate, session, std::string{address, 'A'});
            QVERIFY2(sent.ok(), sent.refusal.c_str());
            numbers << decoder.Decode(sent.bytes).Field("SEQ")->number.value_or(-1);
        }
        QCOMPARE(numbers, QList<std::int64_t>({0, 1, 0, 2})); // each address its own
    }

    void reply()
    {
        // The stand-in answers with the command's sequence number and bit 7 of the address set.
        const auto osdp = Builtin("osdp");
        MessageDecoder decoder(osdp);
        const Message poll = decoder.Decode(Bytes("FF 53 01 08 00 06 60 D9 15"));
        QCOMPARE(poll.Field("SQN")->number, std::optional<std::int64_t>(2));
        QCOMPARE(Hex(ComposeReply(*osdp, poll, Bytes("01 40")).bytes),
                 QStringLiteral("FF 53 81 08 00 06 40 6A 60"));
        const Message answer = decoder.Decode(ComposeReply(*osdp, poll,
                                                           Bytes("01 45 0A 0B 0C 05 01 "
                                                                 "78 56 34 12 02 03 04"))
                                                  .bytes);
        QCOMPARE(QString::fromStdString(answer.summary),
                 QStringLiteral("osdp_PDID  PD 01  SQN 2  vendor 0A0B0C serial 12345678"));
    }

    void counted()
    {
        // A frame field counted by the one before it, typed; one after the data, not typed.
        const DescriptionReading reading = ReadDescription(
            "start 02\nfield N u8\nfield NAME text N\ndata\nfield PAD u8\ncheck sum8\n", "named");
        QVERIFY(reading.ok());
        ProtocolSession session(reading.description);
        const Composed sent =
            ComposeCommand(*reading.description, session, Bytes("03 41 42 43 78"));
        QCOMPARE(Hex(sent.bytes), QStringLiteral("02 03 41 42 43 78 00 43"));
        QCOMPARE(ComposeCommand(*reading.description, session, Bytes("09 41")).refusal,
                 std::string("named wants at least 10 bytes typed: N, NAME"));
        FrameCutter cutter(reading.description);
        std::vector<CutPiece> pieces;
        cutter.Feed(Bytes("7F") + sent.bytes, 0, pieces);
        QCOMPARE(pieces.size(), 2u);
        QCOMPARE(pieces[1].bytes, sent.bytes);
    }

    void stuffing()
    {
        // A frame whose bytes are stuffed: composed, cut whole, its fields read as they were.
        const DescriptionReading reading = ReadDescription(
            "start 7E\nescape 7D xor 20\nfield ADDR u8 hex\nfield LEN u8 counts check\n"
            "field KIND u8 hex code\ndata\ncheck crc16-kermit\nend 7E\n"
            "message data command 01\nfield VALUE u16be hex\n",
            "framed");
        QVERIFY2(reading.ok(), reading.Describe("framed").c_str());
        ProtocolSession session(reading.description);
        const Composed sent = ComposeCommand(*reading.description, session, Bytes("7D 01 7E 7D"));
        QVERIFY(sent.ok());
        // The CRC (CRC-16/KERMIT of 7E 7D 03 01 7E 7D is 2883) is stuffed too, the end is not.
        QCOMPARE(Hex(sent.bytes), QStringLiteral("7E 7D 5D 03 01 7D 5E 7D 5D 83 28 7E"));
        FrameCutter cutter(reading.description);
        std::vector<CutPiece> pieces;
        cutter.Feed(Bytes("7E 7E") + sent.bytes + Bytes("00"), 0, pieces);
        cutter.Flush(pieces);
        QCOMPARE(pieces.size(), 3u);
        QCOMPARE(pieces[1].kind, CutPiece::Kind::Frame);
        QCOMPARE(pieces[1].bytes, sent.bytes);
        const Message message = MessageDecoder(reading.description).Decode(sent.bytes);
        QVERIFY(message.check.ok());
        QCOMPARE(QString::fromStdString(message.Field("VALUE")->value), QStringLiteral("7E7D"));
        QCOMPARE(message.Field("VALUE")->offset, 5u); // in the bytes as sent
        QCOMPARE(message.Field("VALUE")->size, 4u);
    }
};

QTEST_GUILESS_MAIN(tst_FrameComposer)
#include "tst_framecomposer.moc"
