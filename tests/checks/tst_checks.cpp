// Check values: published values, where a value goes in a command, reply verdicts, the finder and
// the logged command text. Random bytes against plain bitwise CRCs are the fuzz target's job.
#include "checks/CheckCatalogue.h"
#include "checks/CheckFinder.h"
#include "checks/CheckPlacement.h"
#include "checks/CheckValue.h"
#include "checks/CheckVerdict.h"

#include <QtTest>

namespace
{

const CheckEntry& Check(const QString& name)
{
    const CheckEntry* check = FindCheck(name.toStdString());
    if (!check)
        qFatal("no check %s", qPrintable(name));
    return *check;
}

std::string_view View(const QByteArray& bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

QStringList Names(const CheckFinding& finding)
{
    QStringList names;
    for (const CheckEntry* check : finding.fits)
        names << QString::fromLatin1(check->name.data(), qsizetype(check->name.size()));
    return names;
}

const QByteArray Nine = "123456789";

} // namespace

class TestChecks : public QObject
{
    Q_OBJECT
private slots:
    void catalogue()
    {
        QStringList names;
        for (const CheckEntry& check : CheckCatalogue()) {
            names << QString::fromLatin1(check.name.data(), qsizetype(check.name.size()));
            QCOMPARE(check.hex, names.last().endsWith("-hex"));
        }
        QStringList expected;
        for (const char* name : {"bcc", "xor", "sum8", "lrc", "crc16-modbus", "crc16-ccitt",
                                 "crc16-xmodem", "crc16-kermit", "crc16-osdp", "crc32"})
            expected << name << QString(name) + "-hex";
        QCOMPARE(names, expected);
        QCOMPARE(FindCheck("CRC16-Modbus-HEX"), &Check("crc16-modbus-hex"));
        QVERIFY(!FindCheck("crc16"));
    }

    void publishedValues_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("value");
        // clang-format off
        const char* const rows[][3] = {
            {"bcc", "31", "31"}, {"xor", "31", "31"}, {"sum8", "DD", "DD"}, {"lrc", "23", "23"},
            {"crc16-modbus", "374B", "374B"}, {"crc16-ccitt", "29B1", "29B1"},
            {"crc16-xmodem", "31C3", "31C3"}, {"crc16-kermit", "8921", "8921"},
            {"crc16-osdp", "CCE5", "CCE5"}, {"crc32", "2639F4CB", "2639F4CB"}};
        // clang-format on
        for (const auto& [name, wire, hex] : rows) {
            QTest::newRow(name) << name << Nine << QByteArray::fromHex(wire);
            QTest::newRow(qPrintable(QString(name) + "-hex"))
                << QString(name) + "-hex" << Nine << QByteArray(hex);
        }
        QTest::newRow("crc32 fox")
            << "crc32" << QByteArray("The quick brown fox jumps over the lazy dog")
            << QByteArray::fromHex("39A34F41");
    }

    void publishedValues()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, value);
        QCOMPARE(QByteArray::fromStdString(CheckValue(Check(name), View(input))), value);
        QCOMPARE(CheckValueSize(Check(name)), std::size_t(value.size()));
    }

    void placement_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("placed");
        // clang-format off
        QTest::addColumn<bool>("verifies");
        // clang-format off
        const char* const rows[][5] = {
            {"bcc after ETX", "bcc", "024F443031030D", "024F44303103090D", "ok"},
            {"bcc frame amid", "bcc", "02410342430D0A", "0241034242430D0A", "ok"},
            {"bcc STX, no ETX", "bcc", "02410D", "02410D4E", ""},
            {"bcc ETX before STX", "bcc", "030241", "03024140", ""},
            {"bcc-hex after ETX", "bcc-hex", "024103", "0241033432", "ok"},
            {"bytes after CR LF", "sum8", "41420D0A", "41420D0A9A", "ok"},
            {"bytes after a last data byte 0D", "crc16-modbus", "01060001000D", "01060001000D19CF",
             "ok"},
            {"hex before CR LF", "sum8-hex", "41420D0A", "414238330D0A", "ok"},
            {"hex before CR", "xor-hex", "41420D", "414230330D", "ok"},
            {"hex before LF", "lrc-hex", "41420A", "414237440A", "ok"},
            {"hex, LF CR: before the CR", "sum8-hex", "410A0D", "410A34420D", "ok"},
            {"hex, CR LF only", "sum8-hex", "0D0A", "30300D0A", ""},
            {"crc16-ccitt-hex before CR LF", "crc16-ccitt-hex", "3132333435363738390D0A",
             "313233343536373839323942310D0A", "ok"},
            {"crc32-hex at the end", "crc32-hex", "313233343536373839",
             "3132333435363738393236333946344342", "ok"}};
        // clang-format on
        for (const auto& [row, name, command, placed, verifies] : rows)
            QTest::newRow(row) << name << QByteArray::fromHex(command)
                               << QByteArray::fromHex(placed) << (*verifies != 0);
    }

    void placement()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, placed);
        QFETCH(bool, verifies);
        QCOMPARE(QByteArray::fromStdString(WithCheck(Check(name), View(command))), placed);
        // A reply shaped like the command has its value found in the same place, but bcc reads
        // replies by their frames only, and an empty body leaves no room.
        QCOMPARE(VerifyReply(Check(name), View(placed)).ok(), verifies);
    }

    void verdicts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("verdict");
        const QByteArray nine = Nine.toHex();
        // clang-format off
        const QByteArray rows[][4] = {
            {"bcc ok", "bcc", "024F44303103090D", "bcc ok"},
            {"bcc failed", "bcc", "024F443031030A", "bcc 0A, expected 09"},
            {"bcc on ACK", "bcc", "06", "bcc not checked"},
            {"bcc ETX last", "bcc", "024103", "bcc not checked"},
            {"bcc two frames", "bcc", "0241034202430340", "bcc ok"},
            {"bcc second frame wrong", "bcc", "0241034202430341", "bcc 41, expected 40"},
            {"bcc-hex lower case", "bcc-hex", "025E033564", "bcc-hex ok"},
            {"bcc-hex failed", "bcc-hex", "025E033563", "bcc-hex 5c, expected 5D"},
            {"sum8 on ACK", "sum8", "06", "sum8 not checked"},
            {"sum8-hex on ACK CR", "sum8-hex", "060D", "sum8-hex not checked"},
            {"sum8 bytes at the very end", "sum8", "060D", "sum8 0D, expected 06"},
            {"sum8 value is CR", "sum8", "0C010D", "sum8 ok"},
            {"modbus too short", "crc16-modbus", "4142", "crc16-modbus not checked"},
            {"modbus after a last byte 0D", "crc16-modbus", "01060001000D19CF", "crc16-modbus ok"},
            {"modbus swapped", "crc16-modbus", nine + "4B37", "crc16-modbus 4B37, expected 374B"},
            {"modbus-hex lower case", "crc16-modbus-hex", nine + "333734620D0A",
             "crc16-modbus-hex ok"},
            {"xmodem-hex before LF", "crc16-xmodem-hex", nine + "333143330A",
             "crc16-xmodem-hex ok"},
            {"crc32-hex failed", "crc32-hex", nine + "3236333946344343",
             "crc32-hex 2639F4CC, expected 2639F4CB"}};
        // clang-format on
        for (const auto& [row, name, reply, verdict] : rows)
            QTest::newRow(row.constData())
                << QString(name) << QByteArray::fromHex(reply) << QString(verdict);
    }

    void verdicts()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, reply);
        QFETCH(QString, verdict);
        QCOMPARE(QString::fromStdString(VerifyReply(Check(name), View(reply)).Describe()), verdict);
    }

    void finder()
    {
        const QByteArray modbus = Nine + QByteArray::fromHex("374B");
        const QByteArray atLimit = QByteArray::fromStdString(
            WithCheck(Check("crc16-modbus"), std::string(MaxSearchedReply - 2, 'A')));
        QCOMPARE(atLimit.size(), qsizetype(MaxSearchedReply));
        const QByteArray overLimit(qsizetype(MaxSearchedReply) + 1, 'A');
        const std::string_view fits[] = {View(modbus), View(atLimit), View(overLimit)};
        const CheckFinding found = FindChecks(fits);
        QCOMPARE(Names(found), QStringList{"crc16-modbus"});
        QCOMPARE(found.tooLong, std::vector<std::size_t>{2});

        const QByteArray hex = Nine + "374B\r\n";
        QCOMPARE(Names(FindChecks(std::vector{View(hex)})), QStringList{"crc16-modbus-hex"});

        const QByteArray hello = "hello\r\n", abc = "ABC";
        QCOMPARE(Names(FindChecks(std::vector{View(hello), View(abc)})), QStringList{});

        // The XOR started at the STX; a byte before the frame keeps a plain xor from fitting.
        const QByteArray first = QByteArray::fromHex("02410340");
        const QByteArray second = QByteArray::fromHex("410231320302");
        QCOMPARE(Names(FindChecks(std::vector{View(first), View(second)})),
                 QStringList{"bcc (STX included)"});

        const CheckFinding none = FindChecks(std::vector{View(overLimit)});
        QVERIFY(none.fits.empty() && none.tooLong == std::vector<std::size_t>{0});
    }

    void display_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("display");
        // clang-format off
        const char* const rows[][3] = {
            {"bcc", "<02>OD01<03><0D>", "<02>OD01<03><09><0D>"},
            {"crc16-modbus", "<01><06><00><01><00><0D>", "<01><06><00><01><00><0D><19><CF>"},
            {"crc16-modbus-hex", "123456789<0D><0A>", "123456789374B<0D><0A>"},
            {"sum8", "AB", "AB<83>"},
            {"sum8-hex", "<4142>x<0d>", "<4142>xB9<0d>"},
            {"bcc", "<02>A<03 >B", "<02>A<03 ><42>B"},
            {"xor", "é<0A>", "é<0A><E3>"},
            {"lrc-hex", "A\r", "ABF\r"},
            {"sum8", "AB<0D", "AB<0D"},
            {"sum8", "", ""}};
        // clang-format on
        for (const auto& [name, text, display] : rows)
            QTest::addRow("%s %s", name, text)
                << name << QString::fromUtf8(text) << QString::fromUtf8(display);
    }

    void display()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, display);
        const CheckedCommand checked = EncodeCheckedCommand(Check(name), text.toStdU32String());
        QCOMPARE(QString::fromStdU32String(checked.display), display);
        // The line reads back to exactly the bytes sent.
        const EncodedCommand shown = EncodeCommandText(checked.display);
        QCOMPARE(shown.ok(), checked.encoded.ok());
        QCOMPARE(shown.bytes, checked.encoded.bytes);
    }
};

QTEST_APPLESS_MAIN(TestChecks)
#include "tst_checks.moc"
