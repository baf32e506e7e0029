// Patterns, answer rules, the rate they answer at, bursts and check files, without a link.
#include "answers/AnswerLoop.h"
#include "answers/AnswerRate.h"
#include "answers/AnswerRules.h"
#include "answers/BurstGatherer.h"
#include "answers/CheckScript.h"
#include "answers/RefusedLines.h"

#include <QSignalSpy>
#include <QtTest>

class tst_Answers : public QObject
{
    Q_OBJECT
private slots:
    void patternText();
    void answers_data();
    void answers();
    void refusals_data();
    void refusals();
    void checkSteps();
    void mostRules();
    void givingUpIsSaidOnce();
    void rate();
    void loop();
    void gatherer();
};

void tst_Answers::patternText()
{
    QCOMPARE(PatternText(QByteArray("\x02!~ <\x7f\xff", 7)), QStringLiteral("<02>!~<20><<7F><FF>"));
    QCOMPARE(PatternText(QByteArray(kPatternBytes + 5, 'A')).size(), kPatternBytes);
    QCOMPARE(PatternBytes(u"<02>A<0<zz>"), QByteArray("\x02"
                                                      "A<0<zz>"));
}

void tst_Answers::answers_data()
{
    QTest::addColumn<QString>("rules");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("line"); // of the rule that answers, 0 for none
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("text");
    const QString rules = QStringLiteral("# events\n\n^<02>E(\\d+) = <06>$1<03>\n"
                                         "(?x) A = B = C=<15>\n<0D>$ = OK<0D>\n");
    QTest::newRow("a group echoed") << rules
                                    << QByteArray("\x02"
                                                  "E17")
                                    << 3
                                    << QByteArray("\x06"
                                                  "17\x03")
                                    << "<06>17<03>";
    QTest::newRow("split at the last \" = \"")
        << rules << QByteArray("A=B") << 4 << QByteArray("C=\x15") << "C=<15>";
    QTest::newRow("the first that matches") << rules
                                            << QByteArray("\x02"
                                                          "E1\r")
                                            << 3
                                            << QByteArray("\x06"
                                                          "1\x03")
                                            << "<06>1<03>";
    QTest::newRow("a blank is <20>")
        << QStringLiteral("A<20>B = $0x") << QByteArray("A B") << 1 << QByteArray("$0x") << "$0x";
    QTest::newRow("a caught token is its byte, to the group's end")
        << QStringLiteral("^(.*)$ = [$1]") << QByteArray("\x01<\x01") << 1
        << QByteArray("[\x01<\x01]") << "[<01><<01>]";
    QTest::newRow("no rule") << rules << QByteArray("x") << 0 << QByteArray() << QString();
}

void tst_Answers::answers()
{
    QFETCH(QString, rules);
    QStringList problems;
    AnswerRules parsed = AnswerRules::Parse(rules, QStringLiteral("Answers.TXT"), problems);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    QFETCH(QByteArray, reply);
    const ChosenAnswer chosen = parsed.Answer(reply);
    QTEST(chosen.rule ? chosen.rule->line : 0, "line");
    QTEST(chosen.bytes, "answer");
    QTEST(chosen.text, "text");
}

// Every refusal of both files names its line; one table for both.
void tst_Answers::refusals_data()
{
    QTest::addColumn<bool>("rules");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("problem");
    const auto row = [](const char* name, bool rules, const char* text, const char* problem) {
        QTest::newRow(name) << rules << QString::fromUtf8(text) << QString::fromUtf8(problem);
    };
    row("rule without separator", true, "\n^A=B", "A line 2: no \" = \"");
    row("rule without reply", true, "x =  ", "A line 1: no \" = \"");
    row("rule pattern", true, "(x = y",
        "A line 1: pattern does not compile: missing closing "
        "parenthesis at position 3");
    row("rule reply", true, "x = <0$1", "A line 1: \"<\" at position 1 is not closed by \">\"");
    row("unknown step", false, "# c\nsned X", "line 2: unknown step \"sned\"");
    row("unknown name", false, "use Nope", "line 1: no command named \"Nope\"");
    row("a name twice", false, "use twice", "line 1: \"twice\" is named more than once");
    row("step pattern", false, "expect [",
        "line 1: pattern does not compile: missing "
        "terminating ] for character class at position 2");
    row("no pattern", false, "expect", "line 1: expect wants a pattern");
    row("unclosed", false, "\n\nsend AB<0", "line 3: \"<\" at position 3 is not closed by \">\"");
    row("nothing to send", false, "send", "line 1: nothing to send");
    row("wait", false, "wait soon", "line 1: wait wants milliseconds");
}

void tst_Answers::refusals()
{
    QFETCH(bool, rules);
    QFETCH(QString, text);
    QStringList problems;
    if (rules) {
        QCOMPARE(AnswerRules::Parse(text, QStringLiteral("A"), problems).rules().size(), 0);
    } else {
        RefusedLines refused(problems, {});
        CheckScript(text.toUtf8(), "Twice=1\ntwice = 2\nother = 3").Check(refused);
    }
    QCOMPARE(problems.size(), 1);
    QFETCH(QString, problem);
    QVERIFY2(problems.first().startsWith(problem), qPrintable(problems.first()));
}

void tst_Answers::checkSteps()
{
    CheckScript script("  # a check\nuse OPEN\nexpect ^<06> within 500\nwait 20\nexpect a b\n",
                       "# list\nopen = O<0D>\nbroken\n");
    QList<CheckStep> steps;
    // Read twice: after the last step the first comes again.
    for (int round = 0; round < 2; ++round)
        for (CheckStep step; script.Next(step);)
            steps.append(step);
    QCOMPARE(steps.size(), 8);
    QCOMPARE(steps[0].bytes, QByteArray("O\r"));
    QCOMPARE(steps[0].line, 2);
    QCOMPARE(steps[1].pattern->text(), QStringLiteral("^<06>"));
    QCOMPARE(steps[1].ms, 500);
    QCOMPARE(steps[2].kind, CheckStep::Kind::Wait);
    QCOMPARE(steps[3].pattern->text(), QStringLiteral("a b"));
    QCOMPARE(steps[3].ms, kDefaultWithinMs);
    QCOMPARE(steps[3].text, QStringLiteral("expect a b"));
}

void tst_Answers::mostRules()
{
    QStringList problems;
    const QString text = QStringLiteral("a = b\n").repeated(AnswerRules::kMostRules + 1);
    QCOMPARE(AnswerRules::Parse(text, QStringLiteral("A"), problems).rules().size(),
             AnswerRules::kMostRules);
    QCOMPARE(problems, QStringList{QStringLiteral("A line 1001: more than 1000 rules")});
}

void tst_Answers::givingUpIsSaidOnce()
{
    QStringList problems;
    AnswerRules rules = AnswerRules::Parse(QStringLiteral("(a+)+$ = X\na = Y"), {}, problems);
    const QByteArray reply = QByteArray(40, 'a') + '\x01';
    const ChosenAnswer first = rules.Answer(reply);
    QCOMPARE(first.gaveUp, QList<int>{1});
    QCOMPARE(first.rule->line, 2);
    QVERIFY(rules.Answer(reply).gaveUp.isEmpty());
    // Set aside: not even a reply it would match at once is searched by it.
    QCOMPARE(rules.Answer("a").rule->line, 2);
}

void tst_Answers::rate()
{
    AnswerRate rate;
    for (int n = 0; n < AnswerRate::kAnswersPerSecond; ++n)
        QCOMPARE(rate.Ask(1, n * 10), AnswerRate::Verdict::Answer);
    QCOMPARE(rate.Ask(2, 200), AnswerRate::Verdict::Answer);
    QCOMPARE(rate.Ask(1, 999), AnswerRate::Verdict::PauseStarts);
    QCOMPARE(rate.Ask(1, 1998), AnswerRate::Verdict::Paused);
    QCOMPARE(rate.Ask(1, 1999), AnswerRate::Verdict::Answer);
    // Answers spread over more than a second never pause.
    for (int n = 1; n < 100; ++n)
        QCOMPARE(rate.Ask(3, n * 51), AnswerRate::Verdict::Answer);
}

void tst_Answers::loop()
{
    AnswerLoop loop;
    QList<int> paused;
    // Rule 1 answers PING with PONG, rule 2 PONG with PING; the peer sends every answer back,
    // however slowly.
    QVERIFY(loop.Ask("PING", 1, 0, paused));
    for (int n = 1; n <= AnswerLoop::kFedBack; ++n) {
        loop.Sent(n % 2 ? "PONG" : "PING", 2 - n % 2);
        QVERIFY(loop.Ask(n % 2 ? "PONG" : "PING", 1 + n % 2, n * 60000, paused));
    }
    loop.Sent("PONG", 1);
    QVERIFY(!loop.Ask("PONG", 2, 0, paused));
    QCOMPARE(paused, (QList<int>{1, 2}));
    // Paused whatever comes, until the pause is over.
    QVERIFY(!loop.Ask("PING", 1, AnswerLoop::kPauseMs - 1, paused));
    QVERIFY(loop.Ask("PING", 1, AnswerLoop::kPauseMs, paused));
    // Another burst between answers sent back ends the row.
    for (int n = 0; n < 3 * AnswerLoop::kFedBack; ++n) {
        loop.Sent("X", 3);
        QVERIFY(loop.Ask("X", 3, 0, paused));
        QVERIFY(loop.Ask("Y", 3, 0, paused));
    }
    QCOMPARE(AnswerLoop::Describe({3}), "line 3 answered its own answers, sent back by the peer, "
                                        "5 times in a row: paused for 10 seconds");
}

void tst_Answers::gatherer()
{
    BurstGatherer gatherer(30);
    QSignalSpy bursts(&gatherer, &BurstGatherer::Burst);
    gatherer.Feed("AB");
    gatherer.Feed("C");
    QVERIFY(gatherer.Gathering());
    QTRY_COMPARE(bursts.size(), 1);
    QCOMPARE(bursts[0], (QVariantList{QByteArray("ABC"), true}));
    const QByteArray big(BurstGatherer::kHeldBytes, 'x');
    gatherer.Feed(big);
    gatherer.Feed("y");
    QCOMPARE(bursts.size(), 2);
    QCOMPARE(bursts[1], (QVariantList{big + 'y', false}));
    gatherer.Feed("z");
    QCOMPARE(bursts[2], (QVariantList{QByteArray("z"), false}));
    gatherer.Flush();
    QCOMPARE(bursts.size(), 3);
    gatherer.Feed("w");
    gatherer.Flush();
    QCOMPARE(bursts[3], (QVariantList{QByteArray("w"), true}));
}

QTEST_GUILESS_MAIN(tst_Answers)
#include "tst_answers.moc"
