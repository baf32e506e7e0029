#include "console/EventLog.h"

#include <QScrollBar>
#include <QtTest>

class TestEventLog : public QObject
{
    Q_OBJECT
private slots:
    void addsAndClears();
    void followsTheNewestLine();
    void staysWhereTheOperatorScrolled();
};

void TestEventLog::addsAndClears()
{
    EventLog log;
    log.AddLine("Connect Close");
    log.AddLine(QString::fromUtf8("Connect State:這台電腦正在關閉連線"));
    QCOMPARE(log.count(), 2);
    QCOMPARE(log.line(0), QStringLiteral("Connect Close"));
    QCOMPARE(log.model()->data(log.model()->index(1, 0)).toString(),
             QString::fromUtf8("Connect State:這台電腦正在關閉連線"));
    log.Clear();
    QCOMPARE(log.count(), 0);
    QCOMPARE(log.model()->rowCount(), 0);
    log.AddLine("after");
    QCOMPARE(log.lines(), QStringList{"after"});
}

void TestEventLog::followsTheNewestLine()
{
    EventLog log;
    log.resize(300, 100);
    log.show();
    QVERIFY(QTest::qWaitForWindowExposed(&log));
    for (int i = 0; i < 500; ++i)
        log.AddLine(QString::number(i));
    QScrollBar* bar = log.verticalScrollBar();
    QTRY_VERIFY_WITH_TIMEOUT(bar->maximum() > 0 && bar->value() == bar->maximum(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(
        log.visualRect(log.model()->index(499, 0)).intersects(log.viewport()->rect()), 5000);
}

void TestEventLog::staysWhereTheOperatorScrolled()
{
    EventLog log;
    log.resize(300, 100);
    log.show();
    QVERIFY(QTest::qWaitForWindowExposed(&log));
    for (int i = 0; i < 200; ++i)
        log.AddLine(QString::number(i));
    QScrollBar* bar = log.verticalScrollBar();
    QTRY_VERIFY_WITH_TIMEOUT(bar->maximum() > 0 && bar->value() == bar->maximum(), 5000);
    bar->setValue(0);
    for (int i = 0; i < 200; ++i)
        log.AddLine(QString::number(i));
    QTRY_VERIFY_WITH_TIMEOUT(log.model()->rowCount() == 400 && bar->maximum() > 0, 5000);
    QCoreApplication::processEvents();
    QCOMPARE(bar->value(), 0);
}

QTEST_MAIN(TestEventLog)
#include "tst_eventlog.moc"
