// What a line is searched for, the three ways, and where it shows a match; a time of day in the
// log. On lines as the log makes them, without a view.
#include "console/EventLogModel.h"
#include "find/LineMatcher.h"
#include "find/TimeOfDay.h"
#include "terminal/TrafficLines.h"

#include <QtTest>

namespace
{

LogLine Reply(const QByteArray& bytes, bool checkFailed = false)
{
    return LogLine::Input(InputLine(bytes), kInputMarker.size(), bytes, -1, 0,
                          {QStringLiteral("bcc"), checkFailed});
}

LogLine Command(const QString& text, const QByteArray& bytes)
{
    return LogLine::Output(kOutputMarker + text, bytes, 0);
}

LogLine Line(const QString& kind, const QString& text)
{
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    if (kind == QLatin1String("reply"))
        return Reply(bytes);
    if (kind == QLatin1String("failed"))
        return Reply(bytes, true);
    if (kind.startsWith(QLatin1String("not a frame")))
        return LogLine::Input(InputLine(bytes), kInputMarker.size(), bytes, -1, 0, {},
                              {{}, kind, false});
    if (kind == QLatin1String("command"))
        return Command(QString::fromLatin1(bytes), bytes);
    return LogLine::Status(text, 0);
}

std::optional<LineMatcher> Make(const QString& way, const QString& words, bool matchCase = false,
                                int kind = 0)
{
    const QStringList ways{"text", "pattern", "bytes"};
    QString why;
    return LineMatcher::Make(LineMatcher::Way(ways.indexOf(way)), words, matchCase, kind, why);
}

} // namespace

class tst_LineMatcher : public QObject
{
    Q_OBJECT

private slots:
    void matches_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("words");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("line"); // status text, or a traffic line's bytes as hex
        QTest::addColumn<QString>("lineKind");
        QTest::addColumn<bool>("match");
        QTest::newRow("text, case ignored") << "text"
                                            << "close" << false << 0 << "Close Comport"
                                            << "status" << true;
        QTest::newRow("text, case asked") << "text"
                                          << "close" << true << 0 << "Close Comport"
                                          << "status" << false;
        QTest::newRow("text of a reply as shown") << "text"
                                                  << "<02>ab" << false << 0 << "024142"
                                                  << "reply" << true;
        QTest::newRow("no reply marker") << "text"
                                         << "[Input]" << false << 0 << "41"
                                         << "reply" << false;
        QTest::newRow("no command marker") << "text"
                                           << "Output]" << false << 0 << "41"
                                           << "command" << false;
        QTest::newRow("pattern, reply bytes") << "pattern"
                                              << "^<02>AB<03>$" << false << 0 << "02414203"
                                              << "reply" << true;
        QTest::newRow("pattern, high byte") << "pattern"
                                            << "A<E9>$" << false << 0 << "41E9"
                                            << "reply" << true;
        QTest::newRow("pattern, command") << "pattern"
                                          << "^AB<0D>$" << false << 0 << "41420D"
                                          << "command" << true;
        QTest::newRow("pattern, status") << "pattern"
                                         << "^Close C" << false << 0 << "Close Comport"
                                         << "status" << true;
        QTest::newRow("pattern, case kept") << "pattern"
                                            << "^close" << false << 0 << "Close Comport"
                                            << "status" << false;
        QTest::newRow("bytes in a reply") << "bytes"
                                          << "0241" << false << 0 << "024142"
                                          << "reply" << true;
        QTest::newRow("bytes, not text") << "bytes"
                                         << "02" << false << 0 << "3C30323E"
                                         << "reply" << false;
        QTest::newRow("bytes, not a token's digits") << "bytes"
                                                     << "30 44" << false << 0 << "0D"
                                                     << "reply" << false;
        QTest::newRow("bytes in a command") << "bytes"
                                            << "42 0d" << false << 0 << "41420D"
                                            << "command" << true;
        QTest::newRow("bytes, never status") << "bytes"
                                             << "43" << false << 0 << "C"
                                             << "status" << false;
        QTest::newRow("replies only, status") << "text"
                                              << "a" << false << 1 << "a"
                                              << "status" << false;
        QTest::newRow("replies only, reply") << "text"
                                             << "a" << false << 1 << "61"
                                             << "reply" << true;
        QTest::newRow("commands only") << "text"
                                       << "" << false << 2 << "61"
                                       << "command" << true;
        QTest::newRow("status lines only") << "text"
                                           << "" << false << 3 << "61"
                                           << "reply" << false;
        QTest::newRow("failed check values") << "text"
                                             << "" << false << 4 << "61"
                                             << "failed" << true;
        QTest::newRow("not a frame") << "text"
                                     << "" << false << 5 << "61"
                                     << "not a frame of osdp" << true;
        QTest::newRow("a frame") << "text"
                                 << "" << false << 5 << "61"
                                 << "reply" << false;
        QTest::newRow("passed check values") << "text"
                                             << "" << false << 4 << "61"
                                             << "reply" << false;
    }
    void matches()
    {
        QFETCH(QString, way);
        QFETCH(QString, words);
        QFETCH(bool, matchCase);
        QFETCH(int, kind);
        QFETCH(QString, line);
        QFETCH(QString, lineKind);
        QFETCH(bool, match);
        const std::optional<LineMatcher> matcher = Make(way, words, matchCase, kind);
        QVERIFY(matcher);
        QCOMPARE(matcher->matches(Line(lineKind, line)), match);
        QCOMPARE(matcher->searches(), !words.isEmpty() || kind != 0);
    }

    void theTextAfterALineIsSearchedOnItsOwn_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("words");
        QTest::addColumn<bool>("match");
        QTest::newRow("text in the summary") << "text"
                                             << "osdp_ack" << true;
        QTest::newRow("pattern in the summary") << "pattern"
                                                << "^osdp_ACK  PD 01$" << true;
        QTest::newRow("not across the two") << "text"
                                            << "Sosdp" << false;
        QTest::newRow("never as bytes") << "bytes"
                                        << "6F" << false;
    }
    void theTextAfterALineIsSearchedOnItsOwn()
    {
        QFETCH(QString, way);
        QFETCH(QString, words);
        const QByteArray bytes = QByteArray::fromHex("FF53810740");
        const LogLine line = LogLine::Input(InputLine(bytes), kInputMarker.size(), bytes, -1, 0, {},
                                            {QStringLiteral("osdp_ACK  PD 01"), {}, false});
        QFETCH(bool, match);
        QCOMPARE(Make(way, words)->matches(line), match);
    }

    void patternReadsTheFirst64KibAndSaysWhenItGivesUp()
    {
        const QByteArray past = QByteArray(kPatternBytes, 'A') + "B";
        QVERIFY(!Make("pattern", "B")->matches(Reply(past)));
        QVERIFY(Make("pattern", "A$")->matches(Reply(past)));
        bool gaveUp = false;
        const LogLine hard = Reply(QByteArray(40, 'a') + '\x01');
        QVERIFY(!Make("pattern", "(a+)+$")->matches(hard, &gaveUp));
        QVERIFY(gaveUp);
    }

    void wordsThatSearchForNothing_data()
    {
        QTest::addColumn<int>("way");
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("why");
        QTest::newRow("pattern") << 1 << "(ab"
                                 << "pattern does not compile: missing closing "
                                    "parenthesis at position 4";
        QTest::newRow("no hex") << 2 << "0G"
                                << "bytes are hex pairs, as 02 41 42: \"G\" is no "
                                   "hex digit";
        QTest::newRow("odd") << 2 << "02 4"
                             << "bytes are hex pairs: one digit has no pair";
        QTest::newRow("blank") << 2 << "  "
                               << "bytes are hex pairs, as 02 41 42";
    }
    void wordsThatSearchForNothing()
    {
        QFETCH(int, way);
        QFETCH(QString, words);
        QFETCH(QString, why);
        QString said;
        QVERIFY(!LineMatcher::Make(LineMatcher::Way(way), words, false, 0, said));
        QCOMPARE(said, why);
    }

    void spans_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("lineKind");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("within");
        QTest::addColumn<QString>("spans");
        QTest::newRow("text") << "text"
                              << "ab"
                              << "status"
                              << "xabyAB" << 99 << "1+2 4+2";
        QTest::newRow("text within") << "text"
                                     << "ab"
                                     << "status"
                                     << "xabyab" << 3 << "1+2";
        QTest::newRow("text within, one at the edge") << "text"
                                                      << "ab"
                                                      << "status"
                                                      << "xabyab" << 4 << "1+2 4+2";
        QTest::newRow("text, one letter") << "text"
                                          << "a"
                                          << "status"
                                          << "aaa" << 9 << "0+1 1+1 2+1";
        QTest::newRow("text, no overlap") << "text"
                                          << "aa"
                                          << "status"
                                          << "aaaa" << 9 << "0+2 2+2";
        QTest::newRow("bytes after a token") << "bytes"
                                             << "41"
                                             << "reply"
                                             << "024141" << 99 << "17+1 18+1";
        QTest::newRow("bytes as tokens") << "bytes"
                                         << "0D0A"
                                         << "reply"
                                         << "410D0A" << 99 << "14+8";
        QTest::newRow("bytes of a command") << "bytes"
                                            << "41"
                                            << "command"
                                            << "4142" << 99 << "14+2";
        QTest::newRow("pattern") << "pattern"
                                 << "B"
                                 << "reply"
                                 << "414242" << 99 << "14+1 15+1";
        QTest::newRow("pattern, high byte") << "pattern"
                                            << "<E9>"
                                            << "reply"
                                            << "E9" << 99 << "13+1";
        QTest::newRow("pattern, empty at the end") << "pattern"
                                                   << "x*$"
                                                   << "status"
                                                   << "abc" << 3 << "3+0";
        QTest::newRow("kind alone") << "text"
                                    << ""
                                    << "reply"
                                    << "4142" << 99 << "13+2";
    }
    void spans()
    {
        QFETCH(QString, way);
        QFETCH(QString, words);
        QFETCH(QString, lineKind);
        QFETCH(QString, line);
        QFETCH(int, within);
        QFETCH(QString, spans);
        QStringList found;
        for (const LineMatcher::Span& span : Make(way, words)->spans(Line(lineKind, line), within))
            found << QStringLiteral("%1+%2").arg(span.from).arg(span.length);
        QCOMPARE(found.join(' '), spans);
        QCOMPARE(Make(way, words)->spans(Line(lineKind, line), within, 1).size(),
                 qMin<qsizetype>(found.size(), 1));
    }

    void description()
    {
        QCOMPARE(Make("text", "0A0B")->description(), QStringLiteral("text \"0A0B\""));
        QCOMPARE(Make("bytes", "020a", false, 1)->description(),
                 QStringLiteral("bytes 02 0A among replies"));
        QCOMPARE(Make("pattern", "", false, 4)->description(),
                 QStringLiteral("failed check values"));
    }

    void timeOfDay()
    {
        QCOMPARE(TimeOfDay(" 14:03 "), QTime(14, 3));
        QCOMPARE(TimeOfDay("4:03:07"), QTime(4, 3, 7));
        QCOMPARE(TimeOfDay("14:03:07.412"), QTime(14, 3, 7, 412));
        QVERIFY(!TimeOfDay("25:00"));
        QVERIFY(!TimeOfDay("noon"));
        // A session from 22:00 to past midnight, with the notice of lines that left before it.
        EventLogModel log;
        log.setKeptMemory(1);
        const QDateTime start(QDate(2024, 5, 1), QTime(22, 0));
        for (const int minutes : {0, 0})
            log.append(LogLine::Status("line", start.addSecs(minutes * 60).toMSecsSinceEpoch()));
        log.setKeptMemory(EventLogModel::kKeptMemory);
        for (const int minutes : {90, 180, 240})
            log.append(LogLine::Status("line", start.addSecs(minutes * 60).toMSecsSinceEpoch()));
        QTRY_COMPARE(log.rowCount(), 5);
        QCOMPARE(log.noticeRows(), 1);
        QCOMPARE(FirstLineAt(log, QTime(23, 30)), 2);
        QCOMPARE(FirstLineAt(log, QTime(1, 0)), 3);
        QCOMPARE(FirstLineAt(log, QTime(21, 0)), 1);
        QCOMPARE(FirstLineAt(log, QTime(2, 1)), -1);
        log.clear();
        QCOMPARE(FirstLineAt(log, QTime(1, 0)), -1);
    }
};

QTEST_MAIN(tst_LineMatcher)
#include "tst_linematcher.moc"
