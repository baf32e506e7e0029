#include "console/ByteDumpWindow.h"
#include "console/EventLog.h"
#include "console/EventLogDelegate.h"
#include "console/TrafficLines.h"
#include "notation/RenderReceivedData.h"

#include <QAction>
#include <QClipboard>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

// Notes the longest text the style is handed to paint an item with, and the line breaks in any.
class LongestItemText : public QProxyStyle
{
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option)) {
            longest = qMax(longest, item->text.size());
            breaks += item->text.count(QChar::LineFeed) + item->text.count(QChar::LineSeparator);
            separators += item->text.count(QChar::LineSeparator);
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    mutable qsizetype longest = 0;
    mutable qsizetype breaks = 0;
    mutable qsizetype separators = 0;
};

static void ClickRow(EventLog& log, int row, Qt::KeyboardModifiers modifiers = {})
{
    const QRect rect = log.visualRect(log.model()->index(row, 0));
    QTest::mouseClick(log.viewport(), Qt::LeftButton, modifiers, rect.center());
}

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
        // Counted from the right end when negative: at -19 the rows cut at the view's width show
        // their ellipsis just in view.
        for (const auto& [scrolledRight, logFont] :
             {std::pair(0, false), std::pair(3000, true), std::pair(-1, false), std::pair(-1, true),
              std::pair(-19, true)}) {
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
            QTRY_COMPARE(log.model()->rowCount(), 21);
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
                QScrollBar* bar = view->horizontalScrollBar();
                bar->setValue(scrolledRight < 0 ? bar->maximum() + 1 + scrolledRight
                                                : scrolledRight);
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

    void aLongLineIsNeverLaidOutWhole()
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
        // A status line may hold a line break (a path can): it is drawn as a separator.
        log.AddLine("Log saved: /tmp/a\nb.log (3 lines)");
        log.AddLine(line);
        log.resize(548, 316);
        log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&log));
        QTRY_COMPARE_WITH_TIMEOUT(log.model()->rowCount(), 3, 5000);
        const QSize one = log.sizeHintForIndex(log.model()->index(0, 0));
        const QSize whole = log.sizeHintForIndex(log.model()->index(2, 0));
        QCOMPARE(whole.height(), one.height());
        QCOMPARE(whole.width() - one.width(),
                 (line.size() - 1) * QFontMetrics(font).horizontalAdvance('A'));
        QScrollBar* bar = log.horizontalScrollBar();
        bar->setValue(bar->maximum());
        QCOMPARE(bar->value() + log.viewport()->width(), whole.width());
        log.grab();
        // Painted at its end, the style was never handed more than a view's width of the line.
        QVERIFY2(style.longest < 1000, qPrintable(QString::number(style.longest)));
        QVERIFY(style.separators > 0 && style.breaks == style.separators);
    }

    void longRepliesAreRenderedASliceAtATime()
    {
        // Tokens straddle each slice's end; the line is as if rendered whole.
        QByteArray every;
        for (int c = 0; c < 256; ++c)
            every += char(c);
        for (const qsizetype size : {kRenderSliceBytes - 1, kRenderSliceBytes,
                                     kRenderSliceBytes + 1, 2 * kRenderSliceBytes + 5}) {
            const QByteArray reply = every.repeated(size / 256 + 1).left(size);
            int between = 0;
            const QString line = InputLine(reply, kInputMarker, [&] { ++between; });
            QCOMPARE(between, (size - 1) / kRenderSliceBytes);
            QVERIFY(line == kInputMarker + QString::fromLatin1(RenderReceivedData(
                                               std::string_view(reply.data(), reply.size()))));
        }
        // The log's events go on between the slices, and the bytes read back exactly.
        EventLog log;
        const QByteArray reply = every.repeated(3 * kRenderSliceBytes / 256);
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(0);
        log.AddReply(reply, 7);
        QVERIFY(ticks > 0);
        QVERIFY(log.count() == 1 && log.record(0).bytes() == reply);
    }

    void copiesSelectedLinesWholeAndStillFollows()
    {
        EventLog log;
        log.resize(300, 100);
        log.show();
        QVERIFY(QTest::qWaitForWindowActive(&log));
        QAction* copy = log.actions().value(0);
        QCOMPARE(log.contextMenuPolicy(), Qt::ActionsContextMenu);
        QStringList menu;
        for (const QAction* action : log.actions())
            menu << action->text() + ' ' + action->shortcut().toString();
        QCOMPARE(menu.join('|'),
                 QString::fromUtf8("Copy Ctrl+C|Copy as Hex Ctrl+Shift+C|Select "
                                   "All Ctrl+A|Show Bytes Ctrl+B|Save Log As… Ctrl+S"));
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

    void trafficLinesKeepTheirBytesAndTime()
    {
        auto terminal = std::make_unique<QWidget>();
        auto* log = new EventLog(terminal.get());
        terminal->show();
        QVERIFY(QTest::qWaitForWindowActive(terminal.get()));
        // The reply of the bug report, every byte value with "<0D>" sent as four characters, and
        // a reply that has no "<" of its own.
        const QByteArray reply = QByteArray::fromHex("0280818D9FE9413C30443E0D03");
        QByteArray every("<0D>");
        for (int c = 0; c < 256; ++c)
            every += char(c);
        log->AddCommand("[Output]------AB<02>", "AB\x02");
        log->AddLine(QString::fromUtf8("Connect State:這台電腦正在關閉連線"));
        for (const QByteArray& bytes : {reply, every, QByteArray("\r")})
            log->AddReply(bytes, bytes.size() == 13 ? 42 : -1);
        QTRY_COMPARE(log->model()->rowCount(), 5);
        QCOMPARE(log->line(2),
                 QString::fromUtf8("[Input]------<02>\u0080\u0081\u008d\u009féA<0D><0D><03>"));
        QCOMPARE(log->record(3).bytes(), every);
        QCOMPARE(log->record(4).bytes(), "\r");
        QVERIFY(log->record(0).kind() == LogLine::Kind::Output &&
                log->record(1).kind() == LogLine::Kind::Status &&
                log->record(2).kind() == LogLine::Kind::Input);
        const auto tip = [&](int row) {
            return log->model()->data(log->model()->index(row, 0), Qt::ToolTipRole).toString();
        };
        const QString time =
            QDateTime::fromMSecsSinceEpoch(log->record(2).timeMs()).toString("hh:mm:ss.zzz");
        QVERIFY(qAbs(log->record(2).timeMs() - QDateTime::currentMSecsSinceEpoch()) < 5000);
        QCOMPARE(tip(2), "Reply, 13 bytes, " + time + ", 42 ms after the command");
        QVERIFY(
            QRegularExpression("^Command, 3 bytes, [0-9:]{8}\\.\\d{3}$").match(tip(0)).hasMatch());
        QVERIFY(QRegularExpression("^Reply, 1 byte, [0-9:.]{12}$").match(tip(4)).hasMatch());
        QCOMPARE(tip(1).size(), 12);

        QTest::keyClick(log, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(log, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 "41 42 02\n02 80 81 8D 9F E9 41 3C 30 44 3E 0D 03\n" + every.toHex(' ').toUpper() +
                     "\n0D");

        // Show Bytes offers nothing on a status line, a window per traffic line otherwise.
        log->setCurrentIndex(log->model()->index(1, 0));
        QTest::keyClick(log, Qt::Key_B, Qt::ControlModifier);
        QVERIFY(terminal->findChildren<ByteDumpWindow*>().isEmpty());
        for (int row : {3, 2}) {
            log->setCurrentIndex(log->model()->index(row, 0));
            QTest::keyClick(log, Qt::Key_B, Qt::ControlModifier);
        }
        const auto windows = terminal->findChildren<ByteDumpWindow*>();
        QCOMPARE(windows.size(), 2);
        ByteDumpWindow* dump = windows.last();
        QVERIFY(QTest::qWaitForWindowExposed(dump) && dump->isWindow() && !dump->isModal());
        QCOMPARE(dump->windowTitle(), tip(2));
        dump->view()->selectAll();
        QTest::keyClick(dump->view(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 "00000000  02 80 81 8D 9F E9 41 3C 30 44 3E 0D 03           ......A<0D>..");
        QAbstractItemModel* rows = windows.first()->view()->model();
        QCOMPARE(rows->rowCount(), 17);
        QCOMPARE(rows->index(3, 0).data().toString(),
                 "00000030  2C 2D 2E 2F 30 31 32 33 34 35 36 37 38 "
                 "39 3A 3B  ,-./0123456789:;");
        QCOMPARE(rows->index(16, 0).data().toString(),
                 "00000100  FC FD FE FF" + QString(38, ' ') + "....");
        const QPointer<ByteDumpWindow> kept = dump;
        terminal.reset(); // the byte windows go with the terminal's
        QVERIFY(kept.isNull());
    }

    void savesEveryLineOrLeavesTheFileAsItWas()
    {
        EventLog log;
        const QTemporaryDir dir;
        const QString path = dir.filePath("session.log");
        QString proposed;
        log.setSavePathAsker([&](const QString& offered) { return (proposed = offered), path; });
        log.AddLine(QString::fromUtf8("Connect State:這台電腦正在關閉連線"));
        log.AddCommand("[Output]------A", "A");
        log.AddLine(QString(3 << 19, 'y')); // written in more than one piece
        QAction* save = log.actions().value(4);
        save->trigger();
        QVERIFY(QRegularExpression(QDir::homePath() + "/accessterm-\\d{8}-\\d{6}\\.log")
                    .match(proposed)
                    .hasMatch());
        QTRY_COMPARE(log.line(3), "Log saved: " + path + " (3 lines)");
        QString expected;
        for (int row : {0, 1, 2})
            expected += QDateTime::fromMSecsSinceEpoch(log.record(row).timeMs())
                            .toString("yyyy-MM-dd hh:mm:ss.zzz  ") +
                        log.line(row) + '\n';
        const auto contents = [&] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        QCOMPARE(contents(), expected);
        save->trigger(); // and "Clear Screen" before it is done: nothing half-saved replaces it
        log.Clear();
        QTRY_COMPARE(
            log.lines(),
            QStringList{"Log not saved: " + path +
                        QString::fromUtf8(" — the log was cleared while it was being saved")});
        QCOMPARE(contents(), expected);
        // Again over that file, with writing refused past 64 KiB: the old file stays whole.
        log.AddLine(QString(1 << 20, 'x'));
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit unlimited = limit;
        limit.rlim_cur = 1 << 16;
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
        const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &unlimited); });
        save->trigger();
        QTRY_COMPARE(log.line(log.count() - 1).left(200),
                     "Log not saved: " + path + QString::fromUtf8(" — File too large"));
        QCOMPARE(proposed.section('/', 0, -2), dir.path()); // the folder last used
        QCOMPARE(contents(), expected);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"session.log"});
    }
};

QTEST_MAIN(TestEventLog)
#include "tst_eventlog.moc"
