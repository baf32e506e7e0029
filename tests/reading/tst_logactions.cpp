// What the operator does with the log's lines: copy them whole or as hex, show a line's bytes,
// save the whole log; on a real log view, through its actions and keys.
#include "console/EventLog.h"
#include "reading/ByteDumpWindow.h"
#include "reading/LogActions.h"

#include <QAction>
#include <QClipboard>
#include <QScrollBar>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

static void ClickRow(EventLog& log, int row, Qt::KeyboardModifiers modifiers = {})
{
    const QRect rect = log.visualRect(log.model()->index(row, 0));
    QTest::mouseClick(log.viewport(), Qt::LeftButton, modifiers, rect.center());
}

class tst_LogActions : public QObject
{
    Q_OBJECT

private slots:
    void copiesSelectedLinesWholeAndStillFollows()
    {
        EventLog log;
        LogActions actions(log);
        log.resize(300, 100);
        log.show();
        QVERIFY(QTest::qWaitForWindowActive(&log));
        QAction* copy = log.actions().value(0);
        QCOMPARE(log.contextMenuPolicy(), Qt::ActionsContextMenu);
        QStringList menu;
        for (const QAction* action : log.actions())
            menu << action->text() + ' ' + action->shortcut().toString();
        QCOMPARE(menu.join('|'),
                 QString::fromUtf8(
                     "Copy Ctrl+C|Copy as Hex Ctrl+Shift+C|Select "
                     "All Ctrl+A|Show Bytes Ctrl+B|Save Log As… Ctrl+S|Answer Automatically "));
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
        QCOMPARE(actions.selectedText(), QStringLiteral("195\n196"));
        QTest::keyClick(&log, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(actions.selectedText(), log.lines().join('\n'));
        log.Clear(); // "Clear Screen" takes the selection with the lines
        clipboard->setText("kept");
        copy->trigger();
        QCOMPARE(clipboard->text(), QStringLiteral("kept"));
    }

    void copiesNothingPastTheClipboardsMeasure()
    {
        EventLog log;
        LogActions actions(log);
        actions.setCopiedAtMost(20);
        QClipboard* clipboard = QGuiApplication::clipboard();
        log.AddLine("0123456789");
        log.AddLine("012345678"); // with the line break, just the measure
        QTRY_COMPARE(log.model()->rowCount(), 2);
        log.selectAll();
        actions.copySelection();
        QCOMPARE(clipboard->text(), QStringLiteral("0123456789\n012345678"));
        log.AddReply("1234", -1); // four characters of text after the marker, twelve as hex
        QTRY_COMPARE(log.model()->rowCount(), 3);
        log.selectAll();
        actions.copySelection();
        actions.setCopiedAtMost(11);
        actions.copySelectionAsHex();
        QCOMPARE(clipboard->text(), QStringLiteral("0123456789\n012345678"));
        const QString notice = QStringLiteral("Nothing copied: the selected lines come to %1 "
                                              "characters, more than the %2 a copy takes");
        QCOMPARE(log.lines().mid(3), QStringList({notice.arg(38).arg(20), notice.arg(12).arg(11)}));
        actions.setCopiedAtMost(12);
        actions.copySelectionAsHex();
        QCOMPARE(clipboard->text(), QStringLiteral("31 32 33 34"));
        // A measure of whole MiB is named so.
        actions.setCopiedAtMost(1 << 20);
        log.AddLine(QString(1 << 20, 'x'));
        QTRY_COMPARE(log.model()->rowCount(), 6);
        log.selectAll();
        actions.copySelection();
        QVERIFY(log.lines().last().endsWith("more than the 1 MiB a copy takes"));
    }

    void trafficLinesKeepTheirBytesAndTime()
    {
        auto terminal = std::make_unique<QWidget>();
        auto* log = new EventLog(terminal.get());
        new LogActions(*log);
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
            log->AddReply(bytes, bytes.size() == 13 ? 0 : -1); // answered at once
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
        QCOMPARE(tip(2), "Reply, 13 bytes, " + time + ", 0 ms after the command");
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
        QVERIFY(!log->actions().value(3)->isEnabled());
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
        // The menu's Copy takes every selected row, not only the current one.
        windows.first()->view()->selectAll();
        QVERIFY(!windows.first()->view()->actions().isEmpty());
        windows.first()->view()->actions().constFirst()->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text().count('\n'), 16);
        const QPointer<ByteDumpWindow> kept = dump;
        terminal.reset(); // the byte windows go with the terminal's
        QVERIFY(kept.isNull());
    }

    void savesEveryLineOrLeavesTheFileAsItWas()
    {
        EventLog log;
        LogActions actions(log);
        const QTemporaryDir dir;
        const QString path = dir.filePath("session.log");
        QString proposed;
        actions.setSavePathAsker(
            [&](const QString& offered) { return (proposed = offered), path; });
        log.AddLine(QString::fromUtf8("Connect State:這台電腦正在關閉連線"));
        log.AddCommand("[Output]------A", "A", {}, {}, {"osdp_POLL", "fields", false});
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
                        log.line(row) + (row == 1 ? "\tosdp_POLL\n" : "\n");
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

QTEST_MAIN(tst_LogActions)
#include "tst_logactions.moc"
