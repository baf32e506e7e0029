// A line's traffic read by a protocol as it comes: the same pieces whatever pieces the bytes
// arrive in, bytes that no frame takes as one piece 300 ms after the first of them and before a
// frame that follows, failed check values marked, and the session kept from the frames read.
#include "terminal/FrameReader.h"

#include "support/ProtocolBytes.h"

#include <QRandomGenerator>
#include <QTest>

namespace
{

using Kind = ReadPiece::Kind;

// Collects what a reader hands on, as "F:hex" (a frame), "X:hex" (its check value failed) and
// "N:hex" (no frame).
struct Pieces {
    explicit Pieces(FrameReader& reader)
    {
        QObject::connect(&reader, &FrameReader::PieceRead, [this](const ReadPiece& piece) {
            all.push_back(piece);
            const char kind = piece.kind == Kind::Frame ? 'F' : piece.failed() ? 'X' : 'N';
            shown << QStringLiteral("%1:%2")
                         .arg(QLatin1Char(kind))
                         .arg(Hex(piece.bytes.toStdString()));
        });
    }
    std::vector<ReadPiece> all;
    QStringList shown;
};

const char* const kPoll = "FF 53 01 08 00 04 60 BA 00";
const char* const kAck = "53 81 08 00 04 40 08 06";

QByteArray Of(const char* hex)
{
    return QByteArray::fromHex(hex);
}

} // namespace

class tst_FrameReader : public QObject
{
    Q_OBJECT
private slots:
    void samePiecesWhateverTheSplit_data()
    {
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("osdp: noise, frames, a failed one, a cut one")
            << "osdp"
            << Of("0102 FF5301080004 60BA00 538108000440 0806 0304 FF5301080004 60BA01 535301")
            << QStringList{"N:01 02", "F:FF 53 01 08 00 04 60 BA 00", "F:" + Hex(Bytes(kAck)),
                           "N:03 04", "X:FF 53 01 08 00 04 60 BA 01", "N:53 53 01"};
        QTest::newRow("modbus: request and reply")
            << "modbus-rtu" << Of("010300000002C40B 01030400 0A00 14DA3E")
            << QStringList{"F:01 03 00 00 00 02 C4 0B", "F:01 03 04 00 0A 00 14 DA 3E"};
    }
    void samePiecesWhateverTheSplit()
    {
        QFETCH(QString, protocol);
        QFETCH(QByteArray, stream);
        QFETCH(QStringList, expected);
        QRandomGenerator random(7);
        for (const int most : {int(stream.size()), 1, 3, 5}) {
            FrameReader reader(Builtin(protocol.toLatin1()), Direction::Unknown);
            Pieces pieces(reader);
            for (qsizetype at = 0; at < stream.size();) {
                const qsizetype size = random.bounded(1, most + 1);
                reader.Feed(stream.mid(at, size));
                at += size;
            }
            reader.Flush();
            QCOMPARE(pieces.shown, expected);
            QByteArray joined;
            for (const ReadPiece& piece : pieces.all)
                joined += piece.bytes;
            QCOMPARE(joined, stream);
        }
    }

    void notAFrameComes300msAfterItsFirstByte()
    {
        FrameReader reader(Builtin("osdp"), Direction::Reply);
        Pieces pieces(reader);
        const qint64 first = FrameReader::Now();
        reader.Feed(Of("0102"), -1, first);
        reader.Feed(Of("FF53"), -1, first + 100); // may begin a frame: given up after the gap
        reader.Feed(Of("03"), -1, first + 350);   // after the first piece was due: the next one's
        QCOMPARE(pieces.shown, QStringList{"N:01 02 FF 53"});
        QTRY_COMPARE_WITH_TIMEOUT(pieces.shown.size(), 2, 5000);
        QVERIFY(FrameReader::Now() >= first + 350 + 300);
        QCOMPARE(pieces.shown.last(), QStringLiteral("N:03"));
        QCOMPARE(pieces.all.front().lastAt.toMSecsSinceEpoch() -
                     pieces.all.front().firstAt.toMSecsSinceEpoch(),
                 100);
        QCOMPARE(pieces.all.front().tooltipLines(), QStringList{"not a frame of osdp"});
        QCOMPARE(reader.waiting(), 0);

        // Bytes no frame takes go out at once before a frame that follows them.
        reader.Feed(Of("0405") + Of(kAck), 30);
        QCOMPARE(pieces.shown.mid(2), (QStringList{"N:04 05", "F:" + Hex(Bytes(kAck))}));
        QCOMPARE(pieces.all.back().answerMs, 30);
        QCOMPARE(pieces.all.back().summary(), QStringLiteral("osdp_ACK  PD 01  SQN 0"));

        // The beginning of a frame that never ends is given up by the timer alone.
        reader.Feed(Of("FF5301"));
        QTRY_COMPARE_WITH_TIMEOUT(pieces.shown.last(), QStringLiteral("N:FF 53 01"), 5000);
    }

    void framesKeepTheirGapsAndTheSession()
    {
        FrameReader reader(Builtin("osdp"), Direction::Reply);
        Pieces pieces(reader);
        QCOMPARE(reader.Compose(Of("0160")).bytes, Bytes(kPoll));
        const ReadPiece poll = reader.Sent(Of(kPoll), 1000);
        QCOMPARE(poll.summary(), QStringLiteral("osdp_POLL  PD 01  SQN 0"));
        QCOMPARE(poll.gapMs, -1);
        QVERIFY(!reader.Sent(Of("0160"), 1001).isFrame());
        reader.Feed(Of(kAck), 7, 1007);
        QCOMPARE(pieces.all.at(0).gapMs, 7);
        QVERIFY(pieces.all.at(0).tooltipLines().contains("7 ms after the previous frame"));
        // The reply carried SQN 0: the next command carries 1; a failed one advances nothing.
        QCOMPARE(reader.session().Next(1), 1);
        QByteArray failed = Of(kAck);
        failed[failed.size() - 1] = '\x07';
        reader.Feed(failed, -1, 1020);
        QVERIFY(pieces.all.at(1).failed());
        QCOMPARE(pieces.all.at(1).gapMs, 13);
        QCOMPARE(pieces.all.at(1).answerMs, -1);
        QVERIFY(pieces.all.at(1).tooltipLines().contains("crc16-osdp 0807 expected 0806"));
        QCOMPARE(pieces.all.at(1).tabbedSummary(),
                 QStringLiteral("\tosdp_ACK  PD 01  SQN 0  crc16-osdp 0807, expected 0806"));
        // A tooltip made later, from the frame decoded again, is the same: a command's (decoded
        // the other way), a reply's, a failed one's, and that of bytes no frame takes.
        for (const ReadPiece& piece :
             {poll, pieces.all.at(0), pieces.all.at(1), reader.Sent(Of("0160"), 1030)})
            QCOMPARE(piece.tooltipLater()(), piece.tooltip());
        QCOMPARE(reader.session().Next(1), 1);
        // A link closed: the sequence starts afresh.
        reader.Flush();
        QCOMPARE(reader.session().Next(1), 0);
    }

    void framesSentAreReadTheOtherWay()
    {
        const char* const request = "11 03 00 6B 00 03 76 87";
        const char* const reply = "11 03 06 02 2B 00 00 00 64 C8 BA";
        FrameReader master(Builtin("modbus-rtu"), Direction::Reply);
        QCOMPARE(master.Sent(Of(request)).message.type, std::string("read_holding_registers"));
        FrameReader slave(Builtin("modbus-rtu"), Direction::Command);
        QCOMPARE(slave.Sent(Of(reply)).message.type, std::string("read_holding_registers_reply"));
        QVERIFY(!slave.Sent(Of(request)).isFrame());
    }

    void longRunsOfNoiseComeInPieces()
    {
        FrameReader reader(Builtin("osdp"), Direction::Unknown);
        reader.SetLongestPiece(4);
        Pieces pieces(reader);
        reader.Feed(QByteArray(10, 'A'));
        reader.Flush();
        QCOMPARE(pieces.shown, (QStringList{"N:41 41 41 41", "N:41 41 41 41", "N:41 41"}));
        QCOMPARE(pieces.all.at(0).continued, false);
        QCOMPARE(pieces.all.at(2).continued, true);
    }
};

QTEST_GUILESS_MAIN(tst_FrameReader)
#include "tst_framereader.moc"
