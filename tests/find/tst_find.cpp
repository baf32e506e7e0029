// Finding in the log as the operator does it: the keys and the bar, on a real log view in a
// window, with lines that come and leave while it searches, and only the matching lines shown.
#include "find/FindWindow.h"
#include "find/LogSearch.h"
#include "find/MatchingLines.h"

#include <QAbstractItemModelTester>

class tst_Find : public QObject
{
    Q_OBJECT

private slots:
    void nextPreviousAndWrap()
    {
        Window w({"alpha", "beta", "alpha 2", "gamma", "ALPHA 3"});
        int escapes = 0; // another use of Escape in the window, as a repeat's stop
        connect(new QShortcut(Qt::Key_Escape, &w.window), &QShortcut::activated, this,
                [&escapes] { ++escapes; });
        w.other->setFocus();
        w.search("alpha");
        QVERIFY(w.find->isOpen());
        QTRY_COMPARE(w.bar.status(), QStringLiteral("1 of 3"));
        // Over the log's last rows, there still when the log is made smaller.
        const auto atTheFoot = [&] {
            const QRect bar = w.bar.geometry();
            return w.log->rect().contains(bar) && w.log->height() - bar.bottom() < 8 &&
                   bar.width() > w.log->width() - 20;
        };
        QVERIFY(atTheFoot());
        w.log->setGeometry(0, 30, 400, 200);
        QTRY_VERIFY(atTheFoot());
        QCOMPARE(w.current(), QStringLiteral("alpha"));
        const QStringList steps{"2 of 3 alpha 2", "3 of 3 ALPHA 3", "1 of 3, wrapped alpha"};
        for (const QString& step : steps) {
            w.key(Qt::Key_Return);
            QCOMPARE(w.bar.status() + ' ' + w.current(), step);
        }
        w.key(Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(w.bar.status() + ' ' + w.current(), QStringLiteral("3 of 3, wrapped ALPHA 3"));
        w.key(Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(w.bar.status() + ' ' + w.current(), QStringLiteral("2 of 3 alpha 2"));
        w.key(Qt::Key_F3);
        QCOMPARE(w.bar.status(), QStringLiteral("3 of 3"));
        // The case asked: the search goes on from the current match, the one left out.
        w.child<QCheckBox>("findCase")->setChecked(true);
        QTRY_COMPARE(w.bar.status() + ' ' + w.current(), QStringLiteral("2 of 2 alpha 2"));
        // Escape closes the bar before anything else takes it, and gives the focus back.
        w.key(Qt::Key_Escape);
        QVERIFY(!w.find->isOpen() && w.bar.isHidden());
        QCOMPARE(QApplication::focusWidget(), w.other);
        QCOMPARE(escapes, 0);
        w.key(Qt::Key_Escape);
        QCOMPARE(escapes, 1);
        // Ctrl+G repeats the last search, the bar open again to say where it stands.
        w.key(Qt::Key_G, Qt::ControlModifier);
        QVERIFY(w.find->isOpen());
        QCOMPARE(w.bar.status() + ' ' + w.current(), QStringLiteral("1 of 2, wrapped alpha"));
        QCOMPARE(QApplication::focusWidget(), w.other);
        // Back from the first line's match, not from where the search began.
        w.key(Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(w.bar.status() + ' ' + w.current(), QStringLiteral("2 of 2, wrapped alpha 2"));
        // An error in words, and no match.
        w.search("(alpha", 1);
        QVERIFY(w.bar.status().startsWith("pattern does not compile: missing closing"));
        w.log->AddLine(QString(40, 'a') + '!');
        w.search("(a+)+[xy]$", 1);
        QTRY_COMPARE(
            w.bar.status(),
            QStringLiteral("no match; the pattern gave up on 1 long line, counted as no match"));
        w.search("delta");
        QCOMPARE(w.bar.status(), QStringLiteral("no match"));
        w.key(Qt::Key_Return);
        QCOMPARE(w.current(), QStringLiteral("alpha 2"));
        w.search("42 65", 2); // bytes: only traffic lines stand for bytes
        QCOMPARE(w.bar.status(), QStringLiteral("no match"));
        w.log->AddReply("\x42\x65ta", -1);
        QTRY_COMPARE(w.bar.status() + ' ' + w.current(),
                     QStringLiteral("1 of 1 [Input]------Beta"));
        w.key(Qt::Key_F3);
        QCOMPARE(w.bar.status(), QStringLiteral("1 of 1, wrapped"));
    }

    void startsWhereTheOperatorStandsAndMarksMatches()
    {
        QStringList lines;
        for (int i = 0; i < 200; ++i)
            lines << (i % 50 == 10 ? QStringLiteral("hit %1").arg(i)
                                   : QStringLiteral("x %1").arg(i));
        Window w(lines);
        // Following the newest: none after the top of the view, so the nearest before it.
        w.search("hit");
        QTRY_COMPARE(w.bar.status() + ' ' + w.current(), QStringLiteral("4 of 4 hit 160"));
        // The view stands at the top: the first after it.
        w.log->scrollToTop();
        w.search("hit 1");
        QTRY_COMPARE(w.bar.status() + ' ' + w.current(), QStringLiteral("1 of 3 hit 10"));
        // The current match's row painted apart, another match's marked, a line without none.
        QImage image = w.log->viewport()->grab().toImage();
        // Marked: over the width of a few characters, not a sliver.
        const auto marked = [&](int row, auto colour) {
            const QRect rect = w.log->visualRect(w.log->model()->index(row, 0));
            int pixels = 0;
            for (int x = rect.left(); x < rect.left() + 60; ++x)
                pixels += colour(image.pixelColor(x, rect.top() + 1));
            return pixels >= 12;
        };
        const auto yellow = [](QColor c) {
            return c.red() > 200 && c.green() > 200 && c.blue() < 180;
        };
        const auto orange = [](QColor c) {
            return c.red() > 150 && c.blue() < 120 && c.green() < 200;
        };
        QVERIFY(marked(10, orange));
        QVERIFY(!marked(10, yellow));
        w.key(Qt::Key_Return);
        QCOMPARE(w.current(), QStringLiteral("hit 110"));
        w.log->scrollToTop();
        image = w.log->viewport()->grab().toImage();
        QVERIFY(marked(10, yellow));
        QVERIFY(!marked(9, yellow) && !marked(9, orange));
        w.search("x 0"); // the log's first line
        QTRY_COMPARE(w.bar.status(), QStringLiteral("1 of 1"));
        image = w.log->viewport()->grab().toImage();
        QVERIFY(marked(0, orange));
        // A match far along a long line is scrolled to; one at a line's start back again.
        w.log->AddLine(QString(3000, 'x') + "far");
        w.search("far");
        QTRY_COMPARE(w.bar.status(), QStringLiteral("1 of 1"));
        QTRY_VERIFY(w.log->horizontalScrollBar()->value() > 1000);
        w.search("hit 10");
        QTRY_COMPARE(w.current(), QStringLiteral("hit 10"));
        QTRY_COMPARE(w.log->horizontalScrollBar()->value(), 0);
    }

    void countWhileLinesComeAndLeave()
    {
        Window w;
        w.log->setLimits(6000, EventLog::kLineBytes);
        for (int i = 0; i < 10; ++i)
            w.log->AddLine(QStringLiteral("%1 %2").arg(i % 2 ? "miss" : "hit").arg(i));
        QTRY_COMPARE(w.log->logModel().rowCount(), 10);
        w.search("hit");
        QTRY_COMPARE(w.bar.status() + ' ' + w.current(), QStringLiteral("1 of 5 hit 0"));
        w.log->AddLine("hit 10");
        QTRY_COMPARE(w.bar.status(), QStringLiteral("1 of 6"));
        // The oldest lines leave: the current one with them, the next match current.
        while (w.log->logModel().leftLines() < 3)
            w.log->AddLine("miss");
        QTRY_COMPARE(w.log->logModel().rowCount(), w.log->count());
        const QStringList held = w.log->lines().filter(QRegularExpression("^hit"));
        QVERIFY(held.size() < 6);
        const LogSearch& search = w.find->search();
        QCOMPARE(search.found().size(), size_t(held.size()));
        QCOMPARE(search.current(), search.found().front());
        QCOMPARE(w.log->record(int(search.indexOf(search.current()))).text(), held.first());
        QCOMPARE(w.bar.status(), QStringLiteral("1 of %1").arg(held.size()));
        // More leave: the newest match, current, stays current.
        w.key(Qt::Key_F3, Qt::ShiftModifier);
        const qint64 newest = search.current();
        for (const qint64 left = w.log->logModel().leftLines();
             left == w.log->logModel().leftLines();)
            w.log->AddLine("miss");
        QTRY_COMPARE(w.log->logModel().rowCount(), w.log->count());
        QVERIFY(search.found().size() > 1);
        QCOMPARE(search.current(), newest);
        w.log->Clear();
        QTRY_COMPARE(w.bar.status(), QStringLiteral("no match"));
        w.log->AddLine("hit again");
        QTRY_COMPARE(w.bar.status() + ' ' + w.current(), QStringLiteral("1 of 1 hit again"));
    }

    void onlyMatchingLinesWithContext()
    {
        Window w({"m0", "x1", "x2", "x3", "m4", "x5", "x6", "x7", "x8", "m9"});
        // The rows shown keep a model's rules as they are made again and grow.
        QAbstractItemModelTester tester(&w.find->matching(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        w.search("m");
        w.child<QSpinBox>("findContext")->setValue(1);
        w.child<QCheckBox>("findOnly")->setChecked(true);
        QCOMPARE(w.log->shownOnly(), &w.find->matching());
        QCOMPARE(w.current(), QStringLiteral("m0"));
        QCOMPARE(w.shown(), QStringList({"m0", "x1", "x3", "m4", "x5", "x8", "m9"}));
        const MatchingLines& matching = w.find->matching();
        QList<int> groups;
        for (int row = 0; row < matching.rowCount(); ++row)
            if (matching.startsGroup(row))
                groups << row;
        QCOMPARE(groups, QList<int>({2, 5}));
        // A dotted grey rule over a group's first row, none over the others.
        const QImage shown = w.log->viewport()->grab().toImage();
        const auto ruled = [&](int row) {
            const QRect rect = w.log->visualRect(w.log->model()->index(row, 0));
            int grey = 0;
            for (int x = rect.left(); x <= rect.right(); ++x)
                grey += shown.pixelColor(x, rect.top()) == QColor(160, 160, 160);
            return grey > rect.width() / 4 && grey < rect.width() * 3 / 4;
        };
        QVERIFY(ruled(2) && ruled(5));
        QVERIFY(!ruled(1) && !ruled(3));
        w.key(Qt::Key_F3);
        QCOMPARE(w.current(), QStringLiteral("m4"));
        // New lines come in as they are shown, with the context after a match.
        w.log->AddLine("m10");
        QTRY_COMPARE(w.shown().mid(6), QStringList({"m9", "m10"}));
        w.log->AddLine("x11");
        w.log->AddLine("x12");
        QTRY_COMPARE(w.shown().mid(6), QStringList({"m9", "m10", "x11"}));
        w.child<QSpinBox>("findContext")->setValue(0);
        QCOMPARE(w.shown(), QStringList({"m0", "m4", "m9", "m10"}));
        // What acts on the log acts on what is shown.
        w.log->setCurrentIndex(w.log->model()->index(1, 0));
        w.log->setFocus();
        w.key(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("m4"));
        QTemporaryDir folder;
        const QString path = folder.filePath("shown%2.log"); // no placeholder to the line
        w.actions->saveLog(path);
        QTRY_VERIFY(w.log->lines().last().startsWith("Log saved"));
        QCOMPARE(w.log->lines().last(),
                 "Log saved: " + path + " (4 lines, only the lines shown for text \"m\")");
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QStringList texts;
        for (const QByteArray& line : saved.readAll().split('\n'))
            texts << QString::fromUtf8(line.mid(25));
        QCOMPARE(texts, QStringList({"m0", "m4", "m9", "m10", ""}));
        // Off: the whole log, at the line that was current.
        w.child<QCheckBox>("findOnly")->setChecked(false);
        QCOMPARE(w.log->shownOnly(), nullptr);
        QCOMPARE(w.current(), QStringLiteral("m4"));
        QCOMPARE(w.log->currentIndex().row(), 4);
        // On again (the line that says it saved matches too), and closed: the bar takes the
        // filter with it.
        w.child<QCheckBox>("findOnly")->setChecked(true);
        QCOMPARE(w.log->model()->rowCount(), 5);
        // Context running into the next match's shows each line once.
        w.child<QSpinBox>("findContext")->setValue(1);
        QCOMPARE(w.shown().mid(5, 4), QStringList({"x8", "m9", "m10", "x11"}));
        w.key(Qt::Key_Escape);
        QCOMPARE(w.log->shownOnly(), nullptr);
    }

    void theBarsControls()
    {
        Window w({"alpha", "beta"});
        // Each without words of its own says what it does when hovered.
        for (QWidget* control : w.bar.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!qobject_cast<QLabel*>(control) && !qobject_cast<QCheckBox*>(control))
                QVERIFY2(!control->toolTip().isEmpty(), control->metaObject()->className());
        // The words are cleared in one click, and the search with them.
        w.search("alpha");
        QTRY_COMPARE(w.bar.status(), QStringLiteral("1 of 1"));
        auto* clear = w.bar.words().findChild<QToolButton*>();
        QVERIFY(clear);
        QTest::mouseClick(clear, Qt::LeftButton);
        QCOMPARE(w.bar.words().text(), QString());
        QTRY_COMPARE(w.bar.status(), QString());
    }

    void goToTime()
    {
        Window w({"first", "second"});
        w.key(Qt::Key_T, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), &w.bar.time());
        const QDateTime first = QDateTime::fromMSecsSinceEpoch(w.log->record(0).timeMs());
        QTest::keyClicks(&w.bar.time(), first.toString("hh:mm:ss.zzz"));
        w.key(Qt::Key_Return);
        QCOMPARE(w.current(), QStringLiteral("first"));
        QVERIFY(w.bar.status().startsWith("went to "));
        w.bar.time().setText("soon");
        w.key(Qt::Key_Return);
        QCOMPARE(w.bar.status(),
                 QStringLiteral("not a time of day: hh:mm, hh:mm:ss or hh:mm:ss.zzz"));
        w.search("sec");
        QTRY_COMPARE(w.bar.status(), QStringLiteral("1 of 1"));
        // Only the matching lines shown: the first of them at or after the time.
        w.child<QCheckBox>("findOnly")->setChecked(true);
        w.key(Qt::Key_T, Qt::ControlModifier);
        w.bar.time().setText(first.toString("hh:mm:ss.zzz"));
        w.key(Qt::Key_Return);
        QCOMPARE(w.current(), QStringLiteral("second"));
    }
};

QTEST_MAIN(tst_Find)
#include "tst_find.moc"
