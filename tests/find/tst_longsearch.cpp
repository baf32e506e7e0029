// A long search on the log: looked at a slice at a time, counted on the way in the bar, and a
// step asked before its first match is found.
#include "find/FindWindow.h"
#include "find/LineMatcher.h"
#include "find/LogSearch.h"

class tst_LongSearch : public QObject
{
    Q_OBJECT

private slots:
    void aLongSearchLetsTheWindowHaveItsTurn()
    {
        // Short lines a pattern is slow on: looked at a slice at a time.
        EventLogModel log;
        for (int i = 0; i < 100; ++i)
            log.append(LogLine::Status(QString(24, 'a') + (i % 10 ? "!" : ""), 0));
        QTRY_COMPARE(log.rowCount(), 100);
        LogSearch search(log);
        QString why;
        search.start(LineMatcher::Make(LineMatcher::Way::Pattern, "(a|aa)+$", false, 0, why), 0);
        QVERIFY(!search.complete());
        QTRY_VERIFY(search.complete());
        QCOMPARE(search.found().size(), size_t(10));

        // The bar counts on the way, a few times a second, then says it is done.
        QStringList lines;
        for (int i = 0; i < 2000; ++i)
            lines << QString(24, 'a') + (i % 10 ? "!" : "");
        Window w(lines);
        w.search("(a|aa)+$", 1);
        const auto soFar = [&] {
            const QRegularExpressionMatch said =
                QRegularExpression("^(\\d+) so far, searching").match(w.bar.status());
            return said.hasMatch() ? said.captured(1).toInt() : -1;
        };
        QTRY_VERIFY(soFar() >= 50);
        QTRY_VERIFY_WITH_TIMEOUT(w.bar.status().endsWith(" of 200"), 30000);

        // Next, asked before the first match is found, goes to that match, not past it.
        QStringList far;
        for (int i = 0; i < 2000; ++i)
            far << QString(24, 'a') + (i >= 1500 && i % 10 == 0 ? "" : "!");
        Window v(far);
        v.log->scrollToTop();
        v.search("(a|aa)+$", 1);
        v.key(Qt::Key_F3);
        QTRY_VERIFY_WITH_TIMEOUT(!v.bar.status().contains("searching"), 30000);
        QCOMPARE(v.bar.status(), QStringLiteral("1 of 50"));
        QCOMPARE(v.log->currentIndex().row(), 1500);
    }
};

QTEST_MAIN(tst_LongSearch)
#include "tst_longsearch.moc"
