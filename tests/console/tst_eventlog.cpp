#include "console/EventLog.h"
#include "console/EventLogDelegate.h"

#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QtTest>

class TestEventLog : public QObject
{
    Q_OBJECT
private slots:
    void showsLinesInBatchesAndFollowsTheNewestUnlessScrolledUp()
    {
        EventLog log;
        log.resize(300, 100);
        log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&log));
        QSignalSpy inserted(log.model(), &QAbstractItemModel::rowsInserted);
        log.AddLine("old");
        log.Clear(); // before the view has the line
        QScrollBar* bar = log.verticalScrollBar();
        for (int rows : {10000, 10200, 10400}) {
            while (log.count() < rows)
                log.AddLine(QString::number(log.count()));
            QTRY_COMPARE(log.model()->rowCount(), rows);
            QCoreApplication::processEvents();
            if (rows == 10000) {
                // A burst reaches the view as one insertion, and the newest line is in view.
                QCOMPARE(inserted.count(), 1);
                QCOMPARE(log.model()->data(log.model()->index(9999, 0)).toString(), "9999");
                QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
                bar->setValue(0); // the operator scrolls up to read
            } else if (rows == 10200) {
                QCOMPARE(bar->value(), 0);
                bar->setValue(bar->maximum()); // and back to the end
            }
        }
        QTRY_VERIFY(
            log.visualRect(log.model()->index(10399, 0)).intersects(log.viewport()->rect()));
        log.Clear();
        QVERIFY(log.model()->rowCount() == 0 && log.lines().isEmpty());
    }

    void longLinesLookAsIfDrawnWhole()
    {
        // The log, and a view of the same lines drawn whole by the plain delegate, at the left edge
        // and scrolled right in the log's own font.
        for (const auto& [scrolledRight, logFont] : {std::pair(0, false), std::pair(3000, true)}) {
            EventLog log;
            QListView whole;
            whole.setModel(log.model());
            whole.setUniformItemSizes(true);
            whole.setItemDelegate(new QStyledItemDelegate(&whole));
            QString reply;
            for (int i = 0; reply.size() < 5000; ++i)
                reply += QStringLiteral("<02>%1AB<03><0D><0A>").arg(i);
            for (int i = 0; i < 20; ++i)
                log.AddLine(QStringLiteral("[Input]------") + reply.mid(i));
            QTRY_COMPARE(log.model()->rowCount(), 20);
            for (QListView* view : {static_cast<QListView*>(&log), &whole}) {
                // The log's own font after a far wider one: what was measured for that one must
                // no longer count.
                if (logFont)
                    view->setFont(QFont(QStringLiteral("AR PL UMing TW"), 40));
                view->resize(548, 316);
                view->show();
                QVERIFY(QTest::qWaitForWindowExposed(view));
                if (logFont)
                    view->setFont(QFont(QStringLiteral("AR PL UMing TW"), 9, QFont::Bold));
                view->scrollToBottom();
                view->horizontalScrollBar()->setValue(scrolledRight);
            }
            QCOMPARE(log.horizontalScrollBar()->value(), whole.horizontalScrollBar()->value());
            QCOMPARE(log.grab().toImage(), whole.grab().toImage());
        }
    }

    void visibleLengthCountsDrawnCharacters()
    {
        // Soft hyphens and C1 controls take no room; beyond the code page a character may be drawn
        // as nothing (a joiner, a combining mark), so it is not counted either.
        // clang-format off
        const std::tuple<const char*, int, int, int> cases[] = {
            {"AB<0D>", 100, 1, 6}, {"ABCDEFGH", 3, 1, 3}, {"ABCDEFGH", 10, 4, 3}, {"ABC", 0, 1, 0},
            {"\u00ad\u00adAB", 1, 1, 3}, {"\u0085A\u009fB", 2, 1, 4}, {"\u00e9\u00fcx", 2, 1, 2},
            {"\u200d\u0301\u958bAB", 1, 1, 4}};
        // clang-format on
        for (const auto& [text, width, narrowest, length] : cases)
            QCOMPARE(EventLogDelegate::VisibleLength(QString::fromUtf8(text), width, narrowest),
                     length);
    }
};

QTEST_MAIN(TestEventLog)
#include "tst_eventlog.moc"
