#include "links/SettleDelay.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

class TestSettleDelay : public QObject
{
    Q_OBJECT
private slots:
    void neverReturnsEarly();
    void dispatchesEventsDuringTheWait();
    void nests();
    void sleepsInsteadOfSpinning();
};

void TestSettleDelay::neverReturnsEarly()
{
    for (int ms : {0, 1, 5, 30, 300}) {
        QElapsedTimer clock;
        clock.start();
        SettleDelay(ms);
        QVERIFY2(clock.elapsed() >= ms + 1, qPrintable(QString::number(ms)));
    }
}

void TestSettleDelay::dispatchesEventsDuringTheWait()
{
    bool posted = false;
    bool timerFired = false;
    QMetaObject::invokeMethod(
        this, [&] { posted = true; }, Qt::QueuedConnection);
    QTimer::singleShot(50, this, [&] { timerFired = true; });
    SettleDelay(150);
    QVERIFY(posted);
    QVERIFY(timerFired);
}

void TestSettleDelay::nests()
{
    QElapsedTimer clock;
    qint64 innerEnded = -1;
    QTimer::singleShot(20, this, [&] {
        SettleDelay(200);
        innerEnded = clock.elapsed();
    });
    clock.start();
    SettleDelay(50);
    // The outer wait resumes only once the handler nested inside it has finished its own wait.
    QVERIFY(innerEnded >= 220);
    QVERIFY(clock.elapsed() >= innerEnded);
}

void TestSettleDelay::sleepsInsteadOfSpinning()
{
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    SettleDelay(300);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const auto usec = [](const rusage& r) {
        return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000000LL + r.ru_utime.tv_usec +
               r.ru_stime.tv_usec;
    };
    // A spinning wait would burn all 300 ms on the processor.
    QVERIFY2(usec(after) - usec(before) < 100000,
             qPrintable(QString::number(usec(after) - usec(before))));
}

QTEST_GUILESS_MAIN(TestSettleDelay)
#include "tst_settledelay.moc"
