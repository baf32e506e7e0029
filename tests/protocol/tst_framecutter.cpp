// Frames cut from byte streams by the built-in protocols: random frames and noise fed at random
// arrival boundaries come out as a plain reference says, the same whatever the split; a frame
// whose check value fails is resynchronised on; bytes waiting are given up after the gap.
#include "protocol/FrameComposer.h"
#include "protocol/FrameCutter.h"

#include "support/ProtocolBytes.h"

#include <QRandomGenerator>
#include <QTest>

namespace
{

using Kind = CutPiece::Kind;

// The pieces as "F:hex", "X:hex" (check value failed) and "N:hex" (no frame), neighbouring runs
// of bytes that no frame takes joined.
QStringList Pieces(const std::vector<CutPiece>& pieces)
{
    QStringList shown;
    bool noise = false;
    for (const CutPiece& piece : pieces) {
        const bool more = piece.kind == Kind::NotAFrame;
        if (more && noise) {
            shown.last() += QLatin1Char(' ') + Hex(piece.bytes);
            continue;
        }
        shown << QStringLiteral("%1:%2")
                     .arg(QLatin1Char(piece.kind == Kind::Frame         ? 'F'
                                      : piece.kind == Kind::FailedFrame ? 'X'
                                                                        : 'N'))
                     .arg(Hex(piece.bytes));
        noise = more;
    }
    return shown;
}

// Fed in pieces of 1 to most bytes, a millisecond apart, then flushed.
QStringList CutInPieces(const std::shared_ptr<const Description>& protocol,
                        const std::string& stream, int most, QRandomGenerator& random)
{
    FrameCutter cutter(protocol);
    std::vector<CutPiece> out;
    std::int64_t now = 0;
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t size = std::size_t(random.bounded(1, most + 1));
        cutter.Feed(std::string_view(stream).substr(at, size), ++now, out);
        at += size;
    }
    cutter.Flush(out);
    return Pieces(out);
}

// A random frame as the terminal composes it, and a noise byte that cannot start one.
std::string RandomFrame(const char* protocol, QRandomGenerator& random)
{
    const auto description = Builtin(protocol);
    ProtocolSession session(description);
    std::string typed;
    const QByteArray modbus[] = {"0103006B0003", "011003000002040102030A", "0103040001000A",
                                 "018302", "0106000100FF"};
    if (QByteArray(protocol) == "modbus-rtu")
        typed = QByteArray::fromHex(modbus[random.bounded(5)]).toStdString();
    for (int n = random.bounded(QByteArray(protocol) == "osdp" ? 2 : 1, 24); n > 0; --n) {
        const char byte = char(random.bounded(0x20, 0x7F)); // text keeps STX and ETX out
        if (QByteArray(protocol) == "osdp")
            typed += char(random.bounded(256));
        else if (QByteArray(protocol) == "stx-etx-bcc")
            typed += byte;
    }
    return ComposeCommand(*description, session, typed).bytes;
}

} // namespace

class tst_FrameCutter : public QObject
{
    Q_OBJECT
private slots:
    void randomFrames_data()
    {
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<QByteArray>("noStart"); // noise bytes drawn from all but these
        QTest::addColumn<int>("noisePercent");
        QTest::newRow("osdp") << QByteArray("osdp") << QByteArray("\x53\xFF") << 10;
        QTest::newRow("stx-etx-bcc") << QByteArray("stx-etx-bcc") << QByteArray("\x02") << 10;
        // With no start byte any noise may begin a frame: there, frames back to back.
        QTest::newRow("modbus-rtu") << QByteArray("modbus-rtu") << QByteArray() << 0;
    }

    void randomFrames()
    {
        QFETCH(QByteArray, protocol);
        QFETCH(QByteArray, noStart);
        QFETCH(int, noisePercent);
        QRandomGenerator random(36);
        // The plain reference: the frames and noise runs as they were made.
        std::string stream;
        QStringList made;
        for (int n = 0; n < 300; ++n) {
            std::string noise;
            while (random.bounded(100) < noisePercent) {
                const char byte = char(random.bounded(256));
                if (!noStart.contains(byte))
                    noise += byte;
            }
            if (!noise.empty())
                made << QStringLiteral("N:") + Hex(noise);
            const std::string frame = RandomFrame(protocol.constData(), random);
            made << QStringLiteral("F:") + Hex(frame);
            stream += noise + frame;
        }
        const auto description = Builtin(protocol.constData());
        QCOMPARE(CutInPieces(description, stream, int(stream.size()), random), made);
        for (const int most : {1, 3, 17, 200})
            QCOMPARE(CutInPieces(description, stream, most, random), made);
    }

    void resynchronising_data()
    {
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QStringList>("pieces");
        const auto row = [](const char* name, const char* protocol, const char* stream,
                            QStringList pieces) {
            QTest::newRow(name) << QByteArray(protocol) << QByteArray::fromHex(stream) << pieces;
        };
        row("a frame whose check fails", "osdp", "FF5365080004606091",
            {"X:FF 53 65 08 00 04 60 60 91"});
        row("a frame cut short, then a whole one", "osdp", "FF536508FF5365080004606090",
            {"N:FF 53 65 08", "F:FF 53 65 08 00 04 60 60 90"});
        row("a start byte inside a frame starts none", "osdp", "536509000561534D4D",
            {"X:53 65 09 00 05 61 53 4D 4D"});
        row("a length past the longest", "osdp", "53FFFF04FF5365080004606090",
            {"N:53 FF FF 04", "F:FF 53 65 08 00 04 60 60 90"});
        row("a length shorter than a frame", "osdp", "5365020004", {"N:53 65 02 00 04"});
        row("marks and noise between frames", "osdp", "FFFF5365080004606090AAFF",
            {"N:FF", "F:FF 53 65 08 00 04 60 60 90", "N:AA FF"});
        row("the checksum and not the CRC", "osdp", "538107000140E4", {"F:53 81 07 00 01 40 E4"});
        row("a frame failing inside a failed frame", "stx-etx-bcc", "02410242034242",
            {"X:02 41 02 42 03 42", "N:42"});
        row("a good frame inside a failed frame", "stx-etx-bcc", "024102420341",
            {"N:02 41", "F:02 42 03 41"});
        row("a good frame just after a failed one inside a failed frame", "stx-etx-bcc",
            "02410202420341", {"N:02 41 02", "F:02 42 03 41"});
        row("an ETX with no frame", "stx-etx-bcc", "0341", {"N:03 41"});
        row("no end within the longest", "stx-etx-bcc",
            QByteArray("02" + QByteArray(1100, 'A').toHex() + "02410342").constData(),
            {"N:02 " + QByteArray(1100, 'A').toHex(' ').toUpper(), "F:02 41 03 42"});
        row("request, reply and exception", "modbus-rtu",
            "11 03 006B 0003 7687 55 1103 06 022B00000064 C8BA 0183 02 C0F1",
            {"F:11 03 00 6B 00 03 76 87", "N:55", "F:11 03 06 02 2B 00 00 00 64 C8 BA",
             "F:01 83 02 C0 F1"});
        row("a function with no message, by its CRC", "modbus-rtu", "010741E2", {"F:01 07 41 E2"});
        row("a request whose CRC fails", "modbus-rtu", "11 03 006B 0003 7688",
            {"X:11 03 00 6B 00 03 76 88"});
    }

    void resynchronising()
    {
        QFETCH(QByteArray, protocol);
        QFETCH(QByteArray, stream);
        QRandomGenerator random(7);
        const std::string bytes = stream.toStdString();
        const auto description = Builtin(protocol.constData());
        QTEST(CutInPieces(description, bytes, int(bytes.size()), random), "pieces");
        QTEST(CutInPieces(description, bytes, 1, random), "pieces");
        QTEST(CutInPieces(description, bytes, 4, random), "pieces");
    }

    void gap()
    {
        FrameCutter cutter(Builtin("osdp"));
        std::vector<CutPiece> out;
        QVERIFY(!cutter.Deadline());
        cutter.Feed(Bytes("FF 53 65 08"), 1000, out);
        QVERIFY(out.empty());
        QCOMPARE(cutter.Deadline(), std::optional<std::int64_t>(1050));
        cutter.Expire(1049, out);
        QVERIFY(out.empty());
        cutter.Feed(Bytes("00 04"), 1040, out); // a byte in time moves the deadline on
        cutter.Expire(1050, out);
        QVERIFY(out.empty());
        QCOMPARE(cutter.Deadline(), std::optional<std::int64_t>(1090));
        cutter.Expire(1090, out);
        QCOMPARE(Pieces(out), QStringList{"N:FF 53 65 08 00 04"});
        QCOMPARE(out[0].firstMs, 1000);
        QCOMPARE(out[0].lastMs, 1040);
        QVERIFY(!cutter.Deadline() && cutter.waiting() == 0);
        // The rest of a frame that comes after the gap is no frame either; one fed late gives up
        // what waited first, without a call at the deadline.
        out.clear();
        cutter.Feed(Bytes("FF 53 65 08 00 04 60"), 2000, out);
        cutter.Feed(Bytes("60 90 FF 53 65 08 00 04 60 60 90"), 2051, out);
        QCOMPARE(Pieces(out),
                 QStringList({"N:FF 53 65 08 00 04 60 60 90", "F:FF 53 65 08 00 04 60 60 90"}));
        QCOMPARE(out.back().firstMs, 2051);
    }

    void bounded()
    {
        // A length that asks for the longest frame, then bytes that never end it.
        FrameCutter cutter(Builtin("osdp"));
        std::vector<CutPiece> out;
        cutter.Feed(Bytes("53 01 A0 05 04 60"), 0, out);
        QRandomGenerator random(3);
        std::size_t most = 0;
        for (int n = 0; n < 2000; ++n) {
            cutter.Feed(std::string(1, char(random.bounded(0x54, 0xFF))), n, out);
            most = std::max(most, cutter.waiting());
        }
        QVERIFY(most <= 2 * 1440 + 2);
        QCOMPARE(out.front().kind, Kind::FailedFrame);
        QCOMPARE(out.front().bytes.size(), 1440u);
    }
};

QTEST_GUILESS_MAIN(tst_FrameCutter)
#include "tst_framecutter.moc"
