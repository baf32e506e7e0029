#include "console/EventLog.h"
#include "console/EventLogDelegate.h"

#include <QStyledItemDelegate>

#include <QAction>
#include <QClipboard>
#include <QProxyStyle>
#include <QScrollBar>
#include <QtTest>

// Notes the longest text the style is handed to paint an item with.
class LongestItemText : public QProxyStyle
{
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option))
            longest = qMax(longest, item->text.size());
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    mutable qsizetype longest = 0;
};

class TestEventLog : public QObject
{
    Q_OBJECT
private slots:
    void addsAndClears();
    void followsTheNewestLine();
    void staysWhereTheOperatorScrolled();
    void aBurstReachesTheViewAsOneInsertion();
    void clearDropsLinesNotYetShown();
    void followsAgainOnceBackAtTheEnd();
    void longLinesLookAsIfDrawnWhole_data();
    void longLinesLookAsIfDrawnWhole();
    void visibleLengthCountsDrawnCharacters_data();
    void visibleLengthCountsDrawnCharacters();
    void copiesSelectedLinesWholeAndStillFollows();
    void aLongLineIsNeverLaidOutWhole();
};

void TestEventLog::addsAndClears()
{
    EventLog log;
    log.AddLine("Connect Close");
    log.AddLine(QString::fromUtf8("Connect State:這台電腦正在關閉連線"));
    QCOMPARE(log.count(), 2);
    QCOMPARE(log.line(0), QStringLiteral("Connect Close"));
    // The view's rows follow within an event-loop turn or a few.
    QTRY_COMPARE_WITH_TIMEOUT(log.model()->rowCount(), 2, 5000);
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

void TestEventLog::aBurstReachesTheViewAsOneInsertion()
{
    EventLog log;
    log.resize(300, 100);
    log.show();
    QVERIFY(QTest::qWaitForWindowExposed(&log));
    QSignalSpy inserted(log.model(), &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 10000; ++i)
        log.AddLine(QString::number(i));
    // The log itself has every line at once.
    QCOMPARE(log.count(), 10000);
    QCOMPARE(log.line(9999), QStringLiteral("9999"));
    QTRY_COMPARE_WITH_TIMEOUT(log.model()->rowCount(), 10000, 5000);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 0);
    QCOMPARE(inserted.at(0).at(2).toInt(), 9999);
    QCOMPARE(log.model()->data(log.model()->index(9999, 0)).toString(), QStringLiteral("9999"));
}

void TestEventLog::clearDropsLinesNotYetShown()
{
    EventLog log;
    log.AddLine("old 1");
    log.AddLine("old 2");
    log.Clear();
    log.AddLine("new");
    QCOMPARE(log.lines(), QStringList{"new"});
    QTRY_COMPARE_WITH_TIMEOUT(log.model()->rowCount(), 1, 5000);
    QCOMPARE(log.model()->data(log.model()->index(0, 0)).toString(), QStringLiteral("new"));
    QCoreApplication::processEvents();
    QCOMPARE(log.model()->rowCount(), 1);
}

void TestEventLog::followsAgainOnceBackAtTheEnd()
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
    QTRY_COMPARE_WITH_TIMEOUT(log.model()->rowCount(), 400, 5000);
    QCOMPARE(bar->value(), 0);
    // Back at the end, the operator sees new lines arrive again.
    bar->setValue(bar->maximum());
    for (int i = 0; i < 200; ++i)
        log.AddLine(QString::number(i));
    QTRY_COMPARE_WITH_TIMEOUT(log.model()->rowCount(), 600, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(
        log.visualRect(log.model()->index(599, 0)).intersects(log.viewport()->rect()), 5000);
}

void TestEventLog::longLinesLookAsIfDrawnWhole_data()
{
    QTest::addColumn<int>("scrolledRight");
    QTest::addColumn<bool>("logFont");
    QTest::newRow("at the left edge") << 0 << false;
    QTest::newRow("scrolled right") << 2000 << false;
    QTest::newRow("in the log's own font") << 0 << true;
    QTest::newRow("in the log's own font, scrolled") << 3000 << true;
    QTest::newRow("scrolled to the right end") << -1 << false;
    QTest::newRow("in the log's own font, scrolled to the right end") << -1 << true;
    // Counted from the right end: the rows cut at the view's width show their ellipsis.
    QTest::newRow("in the log's own font, an ellipsis just in view") << -19 << true;
}

void TestEventLog::longLinesLookAsIfDrawnWhole()
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
    log.AddLine("Connect Close");
    for (int i = 0; i < 20; ++i)
        log.AddLine(QStringLiteral("[Input]------") + reply.mid(i));
    QTRY_COMPARE_WITH_TIMEOUT(log.model()->rowCount(), 21, 5000);
    for (QListView* view : {static_cast<QListView*>(&log), &whole}) {
        if (logFont) {
            QFont font(QStringLiteral("AR PL UMing TW"), 9);
            font.setBold(true);
            view->setFont(font);
        }
        view->resize(548, 316);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        view->scrollToBottom();
        QScrollBar* bar = view->horizontalScrollBar();
        bar->setValue(scrolledRight < 0 ? bar->maximum() + 1 + scrolledRight : scrolledRight);
    }
    QCOMPARE(log.horizontalScrollBar()->value(), whole.horizontalScrollBar()->value());
    const QImage shown = log.grab().toImage();
    QCOMPARE(shown, whole.grab().toImage());
}

void TestEventLog::visibleLengthCountsDrawnCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("narrowest");
    QTest::addColumn<int>("length");
    QTest::newRow("shorter than the row") << "AB<0D>" << 100 << 1 << 6;
    QTest::newRow("cut at the width") << "ABCDEFGH" << 3 << 1 << 3;
    QTest::newRow("wider characters") << "ABCDEFGH" << 10 << 4 << 3;
    QTest::newRow("no width") << "ABC" << 0 << 1 << 0;
    QTest::newRow("empty") << "" << 10 << 1 << 0;
    QTest::newRow("soft hyphens take no room")
        << QString::fromUtf8("\u00ad\u00adAB") << 1 << 1 << 3;
    QTest::newRow("C1 controls take no room") << QString::fromUtf8("\u0085A\u009fB") << 2 << 1 << 4;
    QTest::newRow("Latin-1 letters do") << QString::fromUtf8("\u00e9\u00fcx") << 2 << 1 << 2;
    // Beyond the code page a character may be drawn as nothing (a joiner, a combining mark).
    QTest::newRow("others are not counted")
        << QString::fromUtf8("\u200d\u0301\u958bAB") << 1 << 1 << 4;
}

void TestEventLog::visibleLengthCountsDrawnCharacters()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(int, narrowest);
    QFETCH(int, length);
    QCOMPARE(EventLogDelegate::VisibleLength(text, width, narrowest), qsizetype(length));
}

static void ClickRow(EventLog& log, int row, Qt::KeyboardModifiers modifiers = {})
{
    const QRect rect = log.visualRect(log.model()->index(row, 0));
    QTest::mouseClick(log.viewport(), Qt::LeftButton, modifiers, rect.center());
}

void TestEventLog::copiesSelectedLinesWholeAndStillFollows()
{
    EventLog log;
    log.resize(300, 100);
    log.show();
    QVERIFY(QTest::qWaitForWindowActive(&log));
    QAction* copy = log.actions().value(0);
    QCOMPARE(log.contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(copy->text() + '|' + log.actions().value(1)->text(),
             QStringLiteral("Copy|Select All"));
    // A 1 MiB reply's line, far longer than painting lays out, among short ones.
    const QString reply = QStringLiteral("[Input]------") + QString(1 << 20, QLatin1Char('R'));
    for (int i = 0; i < 200; ++i)
        log.AddLine(i == 197 ? reply : QString::number(i));
    QScrollBar* bar = log.verticalScrollBar();
    QTRY_VERIFY_WITH_TIMEOUT(bar->maximum() > 0 && bar->value() == bar->maximum(), 5000);
    QClipboard* clipboard = QGuiApplication::clipboard();
    ClickRow(log, 199);
    ClickRow(log, 197, Qt::ControlModifier);
    QTest::keyClick(&log, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), reply + QStringLiteral("\n199")); // in log order
    ClickRow(log, 195);
    ClickRow(log, 196, Qt::ShiftModifier);
    copy->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("195\n196"));
    for (int i = 200; i < 400; ++i) // still followed, the selection kept
        log.AddLine(QString::number(i));
    QTRY_VERIFY_WITH_TIMEOUT(
        log.visualRect(log.model()->index(399, 0)).intersects(log.viewport()->rect()), 5000);
    QCOMPARE(log.selectedText(), QStringLiteral("195\n196"));
    QTest::keyClick(&log, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(log.selectedText(), log.lines().join('\n'));
    log.Clear(); // "Clear Screen" takes the selection with the lines
    clipboard->setText("kept");
    copy->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("kept"));
}

void TestEventLog::aLongLineIsNeverLaidOutWhole()
{
    LongestItemText style;
    EventLog log;
    log.setStyle(&style);
    QFont font(QStringLiteral("AR PL UMing TW"), 9);
    font.setBold(true);
    log.setFont(font);
    // Wider than the text engine lays out on one line: laid out whole, it would come back
    // wrapped, two rows high and cut short.
    const QString line(1500000, QLatin1Char('A'));
    log.AddLine(QStringLiteral("A"));
    log.AddLine(line);
    log.resize(548, 316);
    log.show();
    QVERIFY(QTest::qWaitForWindowExposed(&log));
    QTRY_COMPARE_WITH_TIMEOUT(log.model()->rowCount(), 2, 5000);
    const QSize one = log.sizeHintForIndex(log.model()->index(0, 0));
    const QSize whole = log.sizeHintForIndex(log.model()->index(1, 0));
    QCOMPARE(whole.height(), one.height());
    QCOMPARE(whole.width() - one.width(),
             (line.size() - 1) * QFontMetrics(font).horizontalAdvance('A'));
    QScrollBar* bar = log.horizontalScrollBar();
    bar->setValue(bar->maximum());
    QCOMPARE(bar->value() + log.viewport()->width(), whole.width());
    log.grab();
    // Painted at its end, the style was never handed more than a view's width of the line.
    QVERIFY2(style.longest < 1000, qPrintable(QString::number(style.longest)));
}

QTEST_MAIN(TestEventLog)
#include "tst_eventlog.moc"
