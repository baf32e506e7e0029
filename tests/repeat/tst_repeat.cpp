// The repeat's plain parts against a clock the test moves: when sends go and which are skipped,
// the counts and the verdict's figures, jumps of the clock, a reply gathered in frames and what
// comes after it; and a repeat and a check file on a link that refuses their commands.
#include "checks/CheckCatalogue.h"
#include "repeat/CheckRun.h"
#include "repeat/RepeatClock.h"
#include "repeat/RepeatRun.h"
#include "repeat/RepeatSchedule.h"
#include "repeat/RepeatTally.h"
#include "repeat/ReplyGatherer.h"
#include "repeat/RunLink.h"
#include "repeat/RunOutput.h"
#include "terminal/CheckChoice.h"

#include <QtTest>

namespace
{

class MovedClock : public RepeatClock
{
public:
    qint64 MonotonicMs() const override { return monotonic; }
    qint64 WallMs() const override { return wall; }
    qint64 monotonic = 0;
    qint64 wall = 1'700'000'000'000;
};

// Frames of the form STX ... ETX, their check failed when they hold an "X", its verdict naming
// what they hold.
class StxEtxCutter : public ReplyCutter
{
public:
    QList<Frame> Feed(QByteArrayView bytes) override
    {
        QList<Frame> frames;
        for (const char c : bytes) {
            m_frame += c;
            if (c != '\x03')
                continue;
            const bool bad = m_frame.contains('X');
            const QString inside = QString::fromLatin1(m_frame.mid(1, m_frame.size() - 2));
            frames.append({m_frame, {(bad ? "bad " : "good ") + inside, bad}});
            m_frame.clear();
        }
        return frames;
    }
    void Reset() override { m_frame.clear(); }

private:
    QByteArray m_frame;
};

// A link that opens at once, and takes commands or not.
class HeldLink : public RunLink
{
public:
    void Open() override { QTimer::singleShot(0, this, &RunLink::Opened); }
    bool Send(const QByteArray&) override { return sent += takes, takes; }
    void Close() override {}
    void WhenIdle(const std::function<void()>& then) override { then(); }
    void SetHandOnAsRead(bool) override {}
    bool Sending() const override { return false; }
    bool takes = false;
    int sent = 0;
};

class NotedOutput : public RunOutput
{
public:
    bool Line(const QString& line) override { return noted.append(line), true; }
    void Error(const QString& line) override { noted.append(line); }
    bool Reply(const QString& prefix, QByteArrayView, bool) override
    {
        return noted.append(prefix), true;
    }
    bool Command(const QString& shown, const QByteArray&) override
    {
        return noted.append(shown), true;
    }
    QStringList noted;
};

// A check file's run on a held link, its output noted.
struct HeldCheck {
    explicit HeldCheck(const QByteArray& text)
    {
        written = script.open() && script.write(text) == text.size();
        script.close();
        options.script = script.fileName();
        run = std::make_unique<CheckRun>(options, link, output);
    }
    QTemporaryFile script;
    bool written = false;
    CheckRunOptions options;
    HeldLink link;
    NotedOutput output;
    std::unique_ptr<CheckRun> run; // made once the options name the file
};

} // namespace

class tst_Repeat : public QObject
{
    Q_OBJECT

private slots:
    void schedule_data()
    {
        QTest::addColumn<QList<qint64>>("times");    // when each turn is taken, ms from start
        QTest::addColumn<QList<qint64>>("expected"); // slot and skipped, pairwise
        QTest::newRow("on time") << QList<qint64>{0, 10, 20} << QList<qint64>{0, 0, 1, 0, 2, 0};
        QTest::newRow("late less than an interval")
            << QList<qint64>{3, 19, 29} << QList<qint64>{0, 0, 1, 0, 2, 0};
        QTest::newRow("late by an interval: the latest due goes")
            << QList<qint64>{0, 20, 30} << QList<qint64>{0, 0, 2, 1, 3, 0};
        QTest::newRow("a long stall: skipped, not made up")
            << QList<qint64>{0, 10, 75, 80} << QList<qint64>{0, 0, 1, 0, 7, 5, 8, 0};
    }
    void schedule()
    {
        QFETCH(QList<qint64>, times);
        QFETCH(QList<qint64>, expected);
        RepeatSchedule plan(10, 1000);
        QList<qint64> taken;
        for (const qint64 at : times) {
            const RepeatSchedule::Turn turn = plan.Take(1000 + at);
            taken << turn.slot << turn.skipped;
            QCOMPARE(plan.NextDue(), 1000 + 10 * (turn.slot + 1));
        }
        QCOMPARE(taken, expected);
    }

    void figuresAndTheirOrder()
    {
        using O = RepeatTally::Outcome;
        RepeatTally tally;
        QCOMPARE(tally.Figures(1000), "0 sent, 0 answered, 0 without a reply within 1000 ms, 0 "
                                      "failed their check value, 0 not matched, 0 skipped; no "
                                      "answer to time");
        QCOMPARE(tally.Percentile(50), -1);
        for (qint64 ms = 20; ms >= 1; --ms)
            tally.Record(O::Answered, ms);
        tally.Record(O::BadCheck, 41);
        tally.Record(O::NotMatched, 30);
        tally.Record(O::NoReply);
        tally.Skip(3);
        QCOMPARE(tally.sent(), 23);
        QCOMPARE(tally.failed(), 3);
        QCOMPARE(tally.Figures(500), "23 sent, 20 answered, 1 without a reply within 500 ms, 1 "
                                     "failed their check value, 1 not matched, 3 skipped; answer "
                                     "1 / 11 / 30 / 41 ms (min / median / p95 / max)");
        QCOMPARE(tally.Percentile(50), 11); // the 11th of 22 times
        tally.Record(O::Awaited);
        tally.ClockJumped(3'599'999); // the clocks read a millisecond apart
        QVERIFY(tally.Figures(500).contains(", 1 still awaited; answer"));
        QVERIFY(tally.Figures(500).endsWith("; the clock jumped once, by 3600 s"));
        tally.ClockJumped(-1'200'000);
        QVERIFY(tally.Figures(500).endsWith("; the clock jumped 2 times, by 2400 s in all"));
        QCOMPARE(tally.failed(), 3);
        RepeatTally once;
        once.Record(O::Answered, 7);
        QVERIFY2(once.Figures(500).endsWith("answer 7 / 7 / 7 / 7 ms (min / median / p95 / max)"),
                 qPrintable(once.Figures(500)));
    }

    void clockJumps()
    {
        MovedClock clock;
        QCOMPARE(clock.TakeJump(), 0); // the first look only notes where the clocks stand
        clock.monotonic += 60'000;
        clock.wall += 61'500; // drift and the time taken to read: no jump
        QCOMPARE(clock.TakeJump(), 0);
        clock.monotonic += 1000;
        clock.wall += 3'601'000;               // suspended for an hour
        QCOMPARE(clock.TakeJump(), 3'601'500); // the drift before it included
        QCOMPARE(clock.TakeJump(), 0);
        clock.wall -= 5000; // the time set back
        QCOMPARE(clock.TakeJump(), -5000);
        clock.wall += RepeatClock::kJumpMs; // as far as counts
        QCOMPARE(clock.TakeJump(), RepeatClock::kJumpMs);
    }

    void aCheckWhoseCommandCannotGoEndsAsAFailedLink()
    {
        HeldCheck check("send AB\nexpect OK within 100\nsend CD\n");
        QVERIFY(check.written);
        QSignalSpy finished(check.run.get(), &CheckRun::Finished);
        check.run->Start();
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toInt(), 2);
        QCOMPARE(check.output.noted, QStringList{"AB"}); // nothing waited for, nothing more sent
    }

    void aCheckWhosePeerClosesEndsAsAFailedLink()
    {
        HeldCheck check("send AB\nexpect OK within 60000\n");
        QVERIFY(check.written);
        check.link.takes = true;
        QSignalSpy finished(check.run.get(), &CheckRun::Finished);
        check.run->Start();
        QTRY_COMPARE(check.link.sent, 1);
        emit check.link.PeerClosed(false);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toInt(), 2);
        QCOMPARE(check.output.noted.last(),
                 "The peer closed the connection before the check ended");
    }

    void whatCameAfterTheReplyIsGivenWhenStopped()
    {
        HeldLink link;
        link.takes = true;
        CheckChoice checks;
        MovedClock clock;
        RepeatPlan plan;
        plan.commands = QStringList{"S"};
        RepeatRun run(plan, link, checks, clock);
        StxEtxCutter cutter;
        run.gatherer().SetCutter(&cutter);
        QString why;
        QVERIFY(run.Prepare(why));
        QSignalSpy replies(&run, &RepeatRun::Reply);
        run.Start();
        QCOMPARE(link.sent, 1);
        clock.monotonic = 5;
        emit link.BytesRead("\x02"
                            "A\x03");
        emit link.BytesRead("late");
        run.Stop("stopped");
        QCOMPARE(replies.size(), 2);
        QCOMPARE(replies.at(0).at(0).toLongLong(), 1); // the send's reply
        QCOMPARE(replies.at(1).at(0).toLongLong(), 0); // no send's
        QCOMPARE(replies.at(1).at(1).toByteArray(), "late");
    }

    void aCommandTheLinkRefusesEndsTheRepeat()
    {
        HeldLink link;
        CheckChoice checks;
        MovedClock clock;
        RepeatPlan plan;
        plan.commands = QStringList{"S"};
        plan.sends = 5;
        RepeatRun run(plan, link, checks, clock);
        QString why;
        QVERIFY(run.Prepare(why));
        QSignalSpy finished(&run, &RepeatRun::Finished);
        run.Start();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().at(0).toString(),
                 "Repeat stopped after 0 of 5: a command could not be sent; 0 sent, 0 answered, 0 "
                 "without a reply within 1000 ms, 0 failed their check value, 0 not matched, 0 "
                 "skipped; no answer to time");
    }

    void gatheredInBurstsOrFrames()
    {
        CheckChoice checks;
        checks.choose(FindCheck("xor"));
        ReplyGatherer gatherer(checks);
        QVERIFY(!gatherer.Add("OK") && !gatherer.Add("\x05") && !gatherer.isEmpty());
        QCOMPARE(gatherer.Check().verdict, "xor 05, expected 04");
        QCOMPARE(gatherer.Take(), "OK\x05");
        QVERIFY(gatherer.isEmpty() && !gatherer.Check().failed);
        // With a cutter the reply is complete with its first frame, its check the frames' own.
        StxEtxCutter cutter;
        gatherer.SetCutter(&cutter);
        QVERIFY(!gatherer.Add("\x02"
                              "A"));
        QVERIFY(gatherer.Add("B\x03\x02"));
        QCOMPARE(gatherer.frames(), 1);
        QVERIFY(gatherer.Add("X\x03\x02"
                             "C\x03"));
        QCOMPARE(gatherer.frames(), 3);
        QCOMPARE(gatherer.Check().verdict, "bad X"); // the first failed frame's
        QVERIFY(gatherer.Add("\x02X2\x03"));
        QCOMPARE(gatherer.Check().verdict, "bad X");
        QCOMPARE(gatherer.Take(), "\x02"
                                  "AB\x03\x02X\x03\x02"
                                  "C\x03\x02X2\x03");
        // The next reply's check is its own, whether or not it has a frame yet.
        QVERIFY(!gatherer.Add("\x02"
                              "D") &&
                !gatherer.Check().failed);
        QVERIFY(gatherer.Add("\x03\x02"
                             "E\x03"));
        QCOMPARE(gatherer.Check().verdict, "good D"); // none failed: the first frame's
    }
};

QTEST_MAIN(tst_Repeat)
#include "tst_repeat.moc"
