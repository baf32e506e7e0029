// The byte notation as input to output. Random texts and replies against plain reference
// versions are the fuzz targets' job (fuzz/).
#include "notation/EncodeCommandText.h"
#include "notation/NumericValue.h"
#include "notation/RenderReceivedData.h"
#include "notation/ZeroPad.h"

#include <QtTest>

namespace
{

std::u32string U32(const char* utf8)
{
    return QString::fromUtf8(utf8).toStdU32String();
}

QByteArray Encoded(const std::u32string& text)
{
    const EncodedCommand result = EncodeCommandText(text);
    return QByteArray(reinterpret_cast<const char*>(result.bytes.data()),
                      qsizetype(result.bytes.size()));
}

} // namespace

class TestNotation : public QObject
{
    Q_OBJECT
private slots:
    void encodes()
    {
        // clang-format off
        const char* const cases[][2] = {
            {"AB<02>C<0D>", "414202430D"}, {"<41><4>", "4104"}, {"<0d>", "0D"}, {"<4142>", "41"},
            {"<41xyz>BC", "414243"}, {"<G1>", "00"}, {"<>", "00"}, {"<<41>", "00"},
            {"<7>1>", "07313E"}, {"AB>", "41423E"}, {"<41>>", "413E"}, {"A B", "412042"},
            {"A<00>B", "410042"}, {"< 4>", "04"}, {"é<FF>ÿ", "E9FFFF"}, {"\t<FF>", "09FF"}, {"", ""}};
        // clang-format on
        for (const auto& [text, hex] : cases) {
            QCOMPARE(Encoded(U32(text)), QByteArray::fromHex(hex));
            // Whatever the buffer held before, it holds this encoding only.
            QCOMPARE(QByteArray::fromStdString(outputBuffer), QByteArray::fromHex(hex));
        }
        // A NUL is no hex digit: a command file can hold one.
        QCOMPARE(Encoded(std::u32string(U"<\0"
                                        U"1>",
                                        4)),
                 QByteArray(1, '\0'));
        // Long literal runs are read in blocks, tokens straddling them.
        QCOMPARE(Encoded(U32("ABCDEFGHIJKLMNOPQRSTUVWXYZ<7F>abcdefghijklmnopqrstuvwxyz<0D>")),
                 "ABCDEFGHIJKLMNOPQRSTUVWXYZ\x7F"
                 "abcdefghijklmnopqrstuvwxyz\r");
        // 40,000 segments and bytes, past 101 segments and 32,767 bytes.
        QCOMPARE(Encoded(QStringLiteral("<0D>A").repeated(20000).toStdU32String()),
                 QByteArray("\rA").repeated(20000));
    }

    void refuses()
    {
        const char* const cases[][2] = {
            {"<", "\"<\" at position 1 is not closed by \">\""},
            {"AB<02>C<0D", "\"<\" at position 8 is not closed by \">\""},
            {"<41><", "\"<\" at position 5 is not closed by \">\""},
            {"AB中", "character U+4E2D \"中\" at position 3 has no byte in the code page"},
            {"A😀B", "character U+1F600 \"😀\" at position 2 has no byte in the code page"},
            {"<41>Ā", "character U+0100 \"Ā\" at position 5 has no byte in the code page"},
            {"ABCDEFGHIJKLMNOPQRSTUVWXYZ<0D", "\"<\" at position 27 is not closed by \">\""},
            {"ABCDEFGHIJKLMNOPQRSTUVWXY€",
             "character U+20AC \"€\" at position 26 has no byte in the code page"}};
        for (const auto& [text, described] : cases) {
            const EncodedCommand result = EncodeCommandText(U32(text));
            QVERIFY(!result.ok() && result.bytes.empty());
            QCOMPARE(QString::fromStdString(result.error->Describe()),
                     QString::fromUtf8(described));
        }
    }

    void marksWhereBytesStart()
    {
        std::vector<std::size_t> starts{99};
        QVERIFY(EncodeCommandText(U32("A<42>C<4142>x<7>1>< 4>"), starts).ok());
        QCOMPARE(starts, (std::vector<std::size_t>{0, 1, 5, 6, 12, 13, 16, 17, 18}));
        QVERIFY(!EncodeCommandText(U32("A<0D"), starts).ok() && starts.empty());
    }

    void rendersAndPads()
    {
        QCOMPARE(RenderReceivedData("\002AB\003\r\n"), "<02>AB<03><0D><0A>");
        QCOMPARE(RenderReceivedData("<0D>"), "<0D>"); // brackets are not escaped
        ByteText every;
        std::string expected;
        for (int c = 0; c < 256; ++c) {
            every += char(c);
            expected += c <= 32 || c == 127 ? QString::asprintf("<%02X>", c).toStdString()
                                            : std::string(1, char(c));
        }
        QCOMPARE(RenderReceivedData(every), expected);
        // Straight into a log line's UTF-16, the same as into the code page.
        std::u16string utf16(RenderedLength(every) + 3, u'?');
        utf16.resize(RenderReceivedDataInto(every, utf16.data()));
        QCOMPARE(QString::fromStdU16String(utf16),
                 QString::fromLatin1(expected.data(), qsizetype(expected.size())));
        // clang-format off
        const std::tuple<std::optional<std::string_view>, int, const char*> cases[] = {
            {"D", 2, "0D"}, {"7F", 2, "7F"}, {"123", 2, "23"}, {"", 3, "000"},
            {std::nullopt, 2, "00"}, {"5", 0, "5"}, {"5", -1, "5"}};
        // clang-format on
        for (const auto& [value, width, padded] : cases)
            QCOMPARE(ZeroPad(value, std::int16_t(width)), padded);
        QCOMPARE(ZeroPad(7, 3), "007");
    }

    void readsNumbers()
    {
        // clang-format off
        const std::pair<const char*, double> cases[] = {
            {"9600", 9600}, {" 1 2\t3\n", 123}, {"12abc", 12}, {"abc", 0}, {"", 0}, {"-5", -5},
            {"+.5", 0.5}, {"1e3", 1000}, {"7e", 7}, {"&H1F0", 496}, {"&HA", 10}, {"&hff", 255},
            {"&o1708", 120}, {"&", 0}, {"-", 0}, {"1.9.3", 1.9}, {"99999999999", 99999999999.0}};
        // clang-format on
        for (const auto& [text, value] : cases)
            QCOMPARE(NumericValue(text), value);
        // clang-format off
        const std::pair<double, std::optional<std::int32_t>> rounding[] = {
            {2.5, 2}, {3.5, 4}, {-2.5, -2}, {9600.4, 9600}, {2147483647.0, 2147483647},
            {-2147483648.0, INT32_MIN}, {2147483648.0, std::nullopt},
            {-2147483649.0, std::nullopt}, {std::nan(""), std::nullopt}};
        // clang-format on
        for (const auto& [value, rounded] : rounding)
            QCOMPARE(RoundToInt32(value), rounded);
    }
};

QTEST_APPLESS_MAIN(TestNotation)
#include "tst_notation.moc"
