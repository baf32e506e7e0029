#include "notation/EncodeCommandText.h"
#include "notation/NumericValue.h"
#include "notation/RenderReceivedData.h"
#include "notation/ZeroPad.h"

#include <QRandomGenerator>
#include <QtTest>

namespace
{

QByteArray Bytes(const std::vector<std::uint8_t>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

EncodedCommand Encode(const QString& text)
{
    return EncodeCommandText(text.toStdU32String());
}

// The command read one character at a time, the plain way, to hold the block-wise encoder to.
EncodedCommand EncodeOneByOne(const std::u32string& text)
{
    EncodedCommand result;
    std::size_t i = 0;
    while (i < text.size()) {
        const char32_t c = text[i];
        if (c != U'<') {
            if (c > 0xFF) {
                result.error = EncodeError{EncodeError::Kind::NoByteForCharacter, i + 1, c};
                result.bytes.clear();
                return result;
            }
            result.bytes.push_back(std::uint8_t(c));
            ++i;
            continue;
        }
        const std::size_t close = text.find(U'>', i + 1);
        if (close == std::u32string::npos) {
            result.error = EncodeError{EncodeError::Kind::UnclosedToken, i + 1, U'<'};
            result.bytes.clear();
            return result;
        }
        unsigned value = 0;
        for (const char32_t f : text.substr(i + 1, 2)) {
            if (f == U' ' || f == U'\t' || f == U'\n')
                continue;
            int d = -1;
            if (f >= U'0' && f <= U'9')
                d = int(f - U'0');
            else if (f >= U'A' && f <= U'F')
                d = int(f - U'A') + 10;
            else if (f >= U'a' && f <= U'f')
                d = int(f - U'a') + 10;
            if (d < 0)
                break;
            value = value * 16 + unsigned(d);
        }
        result.bytes.push_back(std::uint8_t(value));
        i = close + 1;
    }
    return result;
}

// A random command of the notation's characters, with plain runs long and short so that tokens,
// stray brackets and characters without a byte fall at every offset of a block.
std::u32string RandomCommand(QRandomGenerator& random)
{
    static const std::u32string pieces[] = {U"<",
                                            U">",
                                            U"<0D>",
                                            U"<ff>",
                                            U"<4>",
                                            U"< 4>",
                                            U"<\t1>",
                                            U"<G>",
                                            U"<>",
                                            U"<<41>",
                                            U"0",
                                            U"A",
                                            U"f",
                                            U" ",
                                            U"\n",
                                            U"\u00E9",
                                            U"\u00FF",
                                            U"xyz",
                                            U"ABCDEFGHIJKLMNOPQRSTUVWXYZ"};
    std::u32string text;
    const int count = int(random.bounded(0, 40));
    for (int i = 0; i < count; ++i) {
        const auto pick = random.bounded(100);
        if (pick == 0)
            text += U'\u4E2D';
        else if (pick == 1)
            text += U'\U0001F600';
        else if (pick < 20)
            text += std::u32string(random.bounded(1, 40), char32_t('a' + random.bounded(26)));
        else
            text += pieces[random.bounded(int(std::size(pieces)))];
    }
    return text;
}

// Renders a reply one byte at a time, the plain way.
std::string RenderOneByOne(const ByteText& reply)
{
    std::string text;
    for (const char ch : reply) {
        const auto c = (unsigned char)ch;
        if (c <= 32 || c == 127)
            text += QStringLiteral("<%1>").arg(c, 2, 16, QChar('0')).toUpper().toStdString();
        else
            text += ch;
    }
    return text;
}

} // namespace

class TestNotation : public QObject
{
    Q_OBJECT
private slots:
    void encodes_data();
    void encodes();
    void encodesBeyondTheOldTableLimits();
    void outputBufferHoldsTheLastEncoding();
    void refusesWhatHasNoBytes_data();
    void refusesWhatHasNoBytes();
    void renders_data();
    void renders();
    void rendersEveryByteAsItselfOrAToken();
    void encodingARenderingGivesTheBytesBack();
    void encodesAsReadingOneCharacterAtATime();
    void findsFaultsAtEveryOffset_data();
    void findsFaultsAtEveryOffset();
    void rendersAsOneByteAtATime();
    void rendersToUtf16AsToTheCodePage();
    void zeroPads_data();
    void zeroPads();
    void readsNumbers_data();
    void readsNumbers();
    void roundsToInt32_data();
    void roundsToInt32();
};

void TestNotation::encodes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("tokens among text") << "AB<02>C<0D>" << QByteArray::fromHex("414202430D");
    QTest::newRow("field holds the closing >") << "<41><4>" << QByteArray::fromHex("4104");
    QTest::newRow("lower case") << "<0d>" << QByteArray::fromHex("0D");
    QTest::newRow("extra digits dropped") << "<4142>" << QByteArray::fromHex("41");
    QTest::newRow("junk dropped, final run") << "<41xyz>BC" << QByteArray::fromHex("414243");
    QTest::newRow("non-hex field") << "<G1>" << QByteArray::fromHex("00");
    QTest::newRow("empty token") << "<>" << QByteArray::fromHex("00");
    QTest::newRow("field starts with <") << "<<41>" << QByteArray::fromHex("00");
    QTest::newRow("one digit then literal >") << "<7>1>" << QByteArray::fromHex("07313E");
    QTest::newRow("no token") << "AB>" << QByteArray::fromHex("41423E");
    QTest::newRow("second > is literal") << "<41>>" << QByteArray::fromHex("413E");
    QTest::newRow("inner blank") << "A B" << QByteArray::fromHex("412042");
    QTest::newRow("zero byte") << "A<00>B" << QByteArray::fromHex("410042");
    QTest::newRow("blank in field skipped") << "< 4>" << QByteArray::fromHex("04");
    QTest::newRow("latin-1 literal") << QString(QChar(0xE9)) << QByteArray::fromHex("E9");
    QTest::newRow("tab kept") << "\t<FF>" << QByteArray::fromHex("09FF");
    QTest::newRow("empty") << "" << QByteArray();
}

void TestNotation::encodes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const EncodedCommand result = Encode(text);
    QVERIFY(result.ok());
    QCOMPARE(Bytes(result.bytes), bytes);
}

void TestNotation::encodesBeyondTheOldTableLimits()
{
    // 50 pairs of a literal run and a token, then a final run: exactly 101 segments.
    QString text;
    QByteArray expected;
    for (int i = 0; i < 50; ++i) {
        text += QStringLiteral("x<%1>").arg(i, 2, 16, QChar('0'));
        expected += 'x';
        expected += char(i);
    }
    text += "end";
    expected += "end";
    QCOMPARE(Bytes(Encode(text).bytes), expected);

    // Far past 101 segments and 32,767 bytes.
    text = QStringLiteral("<0D>A").repeated(20000);
    const EncodedCommand big = Encode(text);
    QVERIFY(big.ok());
    QCOMPARE(big.bytes.size(), std::size_t(40000));
    QCOMPARE(Bytes(big.bytes).left(4), QByteArray("\rA\rA"));
}

void TestNotation::outputBufferHoldsTheLastEncoding()
{
    Encode(QStringLiteral("a much longer command than the next one"));
    const EncodedCommand result = Encode(QStringLiteral("<01>Z"));
    QCOMPARE(outputBuffer, ByteText("\x01Z"));
    QCOMPARE(QByteArray::fromStdString(outputBuffer), Bytes(result.bytes));
}

void TestNotation::refusesWhatHasNoBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("described");
    const int unclosed = int(EncodeError::Kind::UnclosedToken);
    const int noByte = int(EncodeError::Kind::NoByteForCharacter);
    QTest::newRow("lone <") << "<" << unclosed << 1 << "\"<\" at position 1 is not closed by \">\"";
    QTest::newRow("unclosed after tokens") << "AB<02>C<0D" << unclosed << 8 << "position 8";
    QTest::newRow("<<") << "<41><" << unclosed << 5 << "position 5";
    QTest::newRow("CJK") << QString::fromUtf8("AB中") << noByte << 3
                         << QString::fromUtf8("character U+4E2D \"中\" at position 3");
    QTest::newRow("beyond BMP counts one character")
        << QString::fromUtf8("A😀B") << noByte << 2 << "U+1F600";
    QTest::newRow("euro sign") << QString::fromUtf8("<41>€") << noByte << 5 << "U+20AC";
}

void TestNotation::refusesWhatHasNoBytes()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(int, position);
    QFETCH(QString, described);
    const EncodedCommand result = Encode(text);
    QVERIFY(!result.ok());
    QVERIFY(result.bytes.empty());
    QCOMPARE(int(result.error->kind), kind);
    QCOMPARE(result.error->position, std::size_t(position));
    QVERIFY2(QString::fromStdString(result.error->Describe()).contains(described),
             result.error->Describe().c_str());
}

void TestNotation::renders_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("rendered");
    QTest::newRow("framed reply") << QByteArray::fromHex("02414203") + "\r\n"
                                  << QByteArray("<02>AB<03><0D><0A>");
    QTest::newRow("blank") << QByteArray("A B") << QByteArray("A<20>B");
    QTest::newRow("zero") << QByteArray(1, '\0') << QByteArray("<00>");
    QTest::newRow("31") << QByteArray(1, '\x1F') << QByteArray("<1F>");
    QTest::newRow("del") << QByteArray(1, '\x7F') << QByteArray("<7F>");
    QTest::newRow("tilde") << QByteArray("~") << QByteArray("~");
    QTest::newRow("high bytes") << QByteArray::fromHex("80FFE9") << QByteArray::fromHex("80FFE9");
    QTest::newRow("brackets not escaped") << QByteArray("<0D>") << QByteArray("<0D>");
}

void TestNotation::renders()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, rendered);
    QCOMPARE(QByteArray::fromStdString(RenderReceivedData(reply.toStdString())), rendered);
}

void TestNotation::rendersEveryByteAsItselfOrAToken()
{
    ByteText all;
    for (int c = 0; c < 256; ++c)
        all += char(c);
    const std::string rendered = RenderReceivedData(all);
    std::size_t tokens = 0;
    std::size_t at = 0;
    for (int c = 0; c < 256; ++c) {
        if (c <= 32 || c == 127) {
            const QString expected = QStringLiteral("<%1>").arg(c, 2, 16, QChar('0')).toUpper();
            QCOMPARE(QString::fromLatin1(rendered.substr(at, 4)), expected);
            at += 4;
            ++tokens;
        } else {
            QCOMPARE(int((unsigned char)rendered[at]), c);
            at += 1;
        }
    }
    QCOMPARE(at, rendered.size());
    QCOMPARE(rendered.size(), all.size() + 3 * tokens);
}

void TestNotation::encodingARenderingGivesTheBytesBack()
{
    QRandomGenerator random(20261207);
    for (int round = 0; round < 200; ++round) {
        ByteText reply;
        const int length = int(random.bounded(1, 300));
        while (int(reply.size()) < length) {
            const char c = char(random.bounded(256));
            if (c != '<' && c != '>')
                reply += c;
        }
        const std::string rendered = RenderReceivedData(reply);
        const EncodedCommand back =
            EncodeCommandText(QString::fromLatin1(rendered).toStdU32String());
        QVERIFY(back.ok());
        QCOMPARE(QByteArray::fromStdString(outputBuffer), QByteArray::fromStdString(reply));
    }
}

void TestNotation::encodesAsReadingOneCharacterAtATime()
{
    QRandomGenerator random(7120626);
    for (int round = 0; round < 3000; ++round) {
        const std::u32string text = RandomCommand(random);
        const EncodedCommand expected = EncodeOneByOne(text);
        const EncodedCommand actual = EncodeCommandText(text);
        const QString shown = QString::fromStdU32String(text);
        QVERIFY2(actual.ok() == expected.ok(), qPrintable(shown));
        QCOMPARE(Bytes(actual.bytes), Bytes(expected.bytes));
        if (expected.ok()) {
            QCOMPARE(QByteArray::fromStdString(outputBuffer), Bytes(expected.bytes));
        } else {
            QCOMPARE(int(actual.error->kind), int(expected.error->kind));
            QCOMPARE(actual.error->position, expected.error->position);
            QCOMPARE(actual.error->character, expected.error->character);
        }
    }
}

void TestNotation::findsFaultsAtEveryOffset_data()
{
    QTest::addColumn<int>("offset");
    for (int offset = 0; offset < 40; ++offset)
        QTest::addRow("%d", offset) << offset;
}

void TestNotation::findsFaultsAtEveryOffset()
{
    QFETCH(int, offset);
    const std::u32string before(std::size_t(offset), U'A');
    const std::u32string after(40, U'B');

    EncodedCommand result = EncodeCommandText(before + U'\u20AC' + after + U'\u4E2D');
    QVERIFY(!result.ok());
    QCOMPARE(int(result.error->kind), int(EncodeError::Kind::NoByteForCharacter));
    QCOMPARE(result.error->position, std::size_t(offset) + 1);
    QCOMPARE(result.error->character, U'\u20AC');

    result = EncodeCommandText(before + U"<0D" + after);
    QVERIFY(!result.ok());
    QCOMPARE(int(result.error->kind), int(EncodeError::Kind::UnclosedToken));
    QCOMPARE(result.error->position, std::size_t(offset) + 1);

    // A token at every offset, straddling the blocks the encoder reads.
    result = EncodeCommandText(before + U"<7F>" + after);
    QVERIFY(result.ok());
    QCOMPARE(Bytes(result.bytes),
             QByteArray(offset, 'A') + QByteArray(1, '\x7F') + QByteArray(40, 'B'));
}

void TestNotation::rendersAsOneByteAtATime()
{
    QRandomGenerator random(1207);
    for (int round = 0; round < 500; ++round) {
        ByteText reply;
        const int length = int(random.bounded(0, 200));
        // Mostly printable, with control bytes among them, as replies come.
        for (int i = 0; i < length; ++i)
            reply +=
                random.bounded(4) == 0 ? char(random.bounded(256)) : char(random.bounded(33, 127));
        QCOMPARE(QByteArray::fromStdString(RenderReceivedData(reply)),
                 QByteArray::fromStdString(RenderOneByOne(reply)));
    }
}

void TestNotation::rendersToUtf16AsToTheCodePage()
{
    ByteText all;
    for (int c = 0; c < 512; ++c)
        all += char(c);
    std::u16string utf16(RenderedLength(all) + 3, u'?');
    utf16.resize(RenderReceivedDataInto(all, utf16.data()));
    const std::string rendered = RenderReceivedData(all);
    QCOMPARE(QString::fromStdU16String(utf16),
             QString::fromLatin1(rendered.data(), qsizetype(rendered.size())));
}

void TestNotation::zeroPads_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("null");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("padded");
    QTest::newRow("one digit") << "D" << false << 2 << "0D";
    QTest::newRow("two digits") << "7F" << false << 2 << "7F";
    QTest::newRow("cut to the right") << "123" << false << 2 << "23";
    QTest::newRow("empty") << "" << false << 3 << "000";
    QTest::newRow("null") << "" << true << 2 << "00";
    QTest::newRow("width 0") << "5" << false << 0 << "5";
    QTest::newRow("width -1") << "5" << false << -1 << "5";
}

void TestNotation::zeroPads()
{
    QFETCH(QString, value);
    QFETCH(bool, null);
    QFETCH(int, width);
    QFETCH(QString, padded);
    const std::string text = value.toStdString();
    const auto arg = null ? std::nullopt : std::optional<std::string_view>(text);
    QCOMPARE(QString::fromStdString(ZeroPad(arg, std::int16_t(width))), padded);
    QCOMPARE(QString::fromStdString(ZeroPad(7, 3)), QStringLiteral("007"));
}

void TestNotation::readsNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "9600" << 9600.0;
    QTest::newRow("blanks anywhere") << " 1 2\t3\n" << 123.0;
    QTest::newRow("stops at letters") << "12abc" << 12.0;
    QTest::newRow("letters only") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("negative") << "-5" << -5.0;
    QTest::newRow("plus and fraction") << "+.5" << 0.5;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("exponent without digits") << "7e" << 7.0;
    QTest::newRow("hex") << "&H1F" << 31.0;
    QTest::newRow("hex lower") << "&hff" << 255.0;
    QTest::newRow("octal") << "&O17" << 15.0;
    QTest::newRow("octal stops at 8") << "&o178" << 15.0;
    QTest::newRow("ampersand alone") << "&" << 0.0;
    QTest::newRow("lone sign") << "-" << 0.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("huge") << "99999999999" << 99999999999.0;
}

void TestNotation::readsNumbers()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(NumericValue(text.toStdString()), value);
}

void TestNotation::roundsToInt32_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("rounded");
    QTest::newRow("half to even down") << 2.5 << true << 2;
    QTest::newRow("half to even up") << 3.5 << true << 4;
    QTest::newRow("negative half") << -2.5 << true << -2;
    QTest::newRow("near") << 9600.4 << true << 9600;
    QTest::newRow("max") << 2147483647.0 << true << 2147483647;
    QTest::newRow("min") << -2147483648.0 << true << int(-2147483647 - 1);
    QTest::newRow("above") << 2147483648.0 << false << 0;
    QTest::newRow("below") << -2147483649.0 << false << 0;
    QTest::newRow("nan") << std::nan("") << false << 0;
}

void TestNotation::roundsToInt32()
{
    QFETCH(double, value);
    QFETCH(bool, fits);
    QFETCH(int, rounded);
    const auto result = RoundToInt32(value);
    QCOMPARE(result.has_value(), fits);
    if (fits)
        QCOMPARE(*result, rounded);
}

QTEST_APPLESS_MAIN(TestNotation)
#include "tst_notation.moc"
