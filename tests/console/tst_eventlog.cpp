#include "console/EventLog.h"
#include "console/EventLogDelegate.h"

#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QtTest>

class TestEventLog : public QObject
{
    Q_OBJECT
private slots:
    void addsAndClearsLinesShownOrNot()
    {
        EventLog log;
        log.AddLine("old 1");
        log.AddLine("old 2");
        log.Clear(); // before the view has the lines
        log.AddLine("Connect Close");
        log.AddLine(QString::fromUtf8("Connect State:這台電腦正在關閉連線"));
        QCOMPARE(log.count(), 2);
        QCOMPARE(log.line(0), QStringLiteral("Connect Close"));
        // The view's rows follow within an event-loop turn or a few.
        QTRY_COMPARE(log.model()->rowCount(), 2);
        QCOMPARE(log.model()->data(log.model()->index(1, 0)).toString(), log.line(1));
        log.Clear();
        QCOMPARE(log.model()->rowCount(), 0);
        QCOMPARE(log.lines(), QStringList());
    }

    void followsTheNewestLineUnlessScrolledUp()
    {
        EventLog log;
        log.resize(300, 100);
        log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&log));
        QScrollBar* bar = log.verticalScrollBar();
        const auto addAndShow = [&](int rows) {
            for (int i = 0; i < 200; ++i)
                log.AddLine(QString::number(i));
            QTRY_COMPARE(log.model()->rowCount(), rows);
            QCoreApplication::processEvents();
        };
        addAndShow(200);
        QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
        bar->setValue(0);
        addAndShow(400);
        QCOMPARE(bar->value(), 0);
        // Back at the end, the operator sees new lines arrive again.
        bar->setValue(bar->maximum());
        addAndShow(600);
        QTRY_VERIFY(log.visualRect(log.model()->index(599, 0)).intersects(log.viewport()->rect()));
    }

    void aBurstReachesTheViewAsOneInsertion()
    {
        EventLog log;
        log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&log));
        QSignalSpy inserted(log.model(), &QAbstractItemModel::rowsInserted);
        for (int i = 0; i < 10000; ++i)
            log.AddLine(QString::number(i));
        QCOMPARE(log.line(9999), QStringLiteral("9999"));
        QTRY_COMPARE(log.model()->rowCount(), 10000);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.at(0).mid(1), QVariantList({0, 9999}));
    }

    void longLinesLookAsIfDrawnWhole_data()
    {
        QTest::addColumn<int>("scrolledRight");
        QTest::addColumn<bool>("logFont");
        QTest::newRow("at the left edge") << 0 << false;
        QTest::newRow("in the log's own font, scrolled") << 3000 << true;
    }
    void longLinesLookAsIfDrawnWhole()
    {
        QFETCH(int, scrolledRight);
        QFETCH(bool, logFont);
        // The log, and a view of the same lines drawn whole by the plain delegate.
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
            if (logFont)
                view->setFont(QFont(QStringLiteral("AR PL UMing TW"), 9, QFont::Bold));
            view->resize(548, 316);
            view->show();
            QVERIFY(QTest::qWaitForWindowExposed(view));
            view->scrollToBottom();
            view->horizontalScrollBar()->setValue(scrolledRight);
        }
        QCOMPARE(log.horizontalScrollBar()->value(), whole.horizontalScrollBar()->value());
        QCOMPARE(log.grab().toImage(), whole.grab().toImage());
    }

    void visibleLengthCountsDrawnCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("narrowest");
        QTest::addColumn<int>("length");
        QTest::newRow("shorter than the row") << "AB<0D>" << 100 << 1 << 6;
        QTest::newRow("cut at the width") << "ABCDEFGH" << 3 << 1 << 3;
        QTest::newRow("wider characters") << "ABCDEFGH" << 10 << 4 << 3;
        QTest::newRow("no width") << "ABC" << 0 << 1 << 0;
        QTest::newRow("soft hyphens take no room")
            << QString::fromUtf8("\u00ad\u00adAB") << 1 << 1 << 3;
        QTest::newRow("C1 controls take no room")
            << QString::fromUtf8("\u0085A\u009fB") << 2 << 1 << 4;
        QTest::newRow("Latin-1 letters do") << QString::fromUtf8("\u00e9\u00fcx") << 2 << 1 << 2;
        // Beyond the code page a character may be drawn as nothing (a joiner, a combining mark).
        QTest::newRow("others are not counted")
            << QString::fromUtf8("\u200d\u0301\u958bAB") << 1 << 1 << 4;
    }
    void visibleLengthCountsDrawnCharacters()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(int, narrowest);
        QFETCH(int, length);
        QCOMPARE(EventLogDelegate::VisibleLength(text, width, narrowest), qsizetype(length));
    }
};

QTEST_MAIN(TestEventLog)
#include "tst_eventlog.moc"
