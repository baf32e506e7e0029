#include "console/EventLog.h"
#include "console/EventLogDelegate.h"
#include "notation/RenderReceivedData.h"
#include "terminal/TrafficLines.h"

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

// Makes view a plain list view of the log's lines, drawn by the plain delegate.
void ShowPlainly(QListView& view, EventLog& log)
{
    view.setModel(log.model());
    view.setUniformItemSizes(true);
    view.setItemDelegate(new QStyledItemDelegate(&view));
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

    void marksShowAfterTheLineAndInItsTooltipNotInItsText()
    {
        EventLog log;
        log.resize(400, 100);
        log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&log));
        log.AddLine("plain");
        log.AddMarkedLine("status", {{}, "why", true});
        log.AddReply("A<", 7, false, {"bcc 01", false}, {"osdp_ACK", "gap 3 ms", false});
        log.AddCommand("[Output]------X", "X", "typed", "note", {{}, {}, true});
        QAbstractItemModel* model = log.model();
        QTRY_COMPARE(model->rowCount(), 4);
        const auto role = [&](int row, int r) { return model->index(row, 0).data(r); };
        QCOMPARE(log.lines(),
                 QStringList({"plain", "status", "[Input]------A<", "[Output]------X"}));
        QCOMPARE(log.record(2).bytes(), "A<");
        QCOMPARE(log.record(3).asTyped(), "typed");
        QCOMPARE(log.record(1).kind(), LogLine::Kind::Status);
        QVERIFY(log.record(1).footprint() > log.record(0).footprint());
        QCOMPARE(role(1, Qt::ToolTipRole).toString(), log.record(1).summary() + "\nwhy");
        QVERIFY(
            role(2, Qt::ToolTipRole).toString().endsWith("after the command, bcc 01\ngap 3 ms"));
        QVERIFY(role(3, Qt::ToolTipRole).toString().endsWith(", note"));
        for (int row : {0, 1, 2, 3})
            QCOMPARE(role(row, Qt::ForegroundRole).value<QColor>() == QColor(Qt::red),
                     row == 1 || row == 3);
        QCOMPARE(role(2, Qt::AccessibleDescriptionRole).toString(), "osdp_ACK");
        QVERIFY(!role(0, Qt::AccessibleDescriptionRole).isValid());
        // The aside is drawn in its own colour two spaces after the reply's text, on that row
        // alone.
        const QImage shot = log.viewport()->grab().toImage();
        const auto asideAt = [&](int row) { // from the row's left, -1 for none
            const QRect rect = log.visualRect(model->index(row, 0));
            int left = -1;
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                for (int x = rect.left(); x < shot.width(); ++x) {
                    const QColor c = shot.pixelColor(x, y);
                    if (c.blue() - c.green() > 40 && (left < 0 || x < left))
                        left = x;
                }
            return left < 0 ? -1 : left - rect.left();
        };
        const QFontMetrics metrics(log.font());
        const int at = asideAt(2);
        QVERIFY2(at > metrics.horizontalAdvance(log.line(2) + "  ") &&
                     at < metrics.horizontalAdvance(log.line(2) + "   ") + 4,
                 qPrintable(QString::number(at)));
        QVERIFY(asideAt(0) < 0 && asideAt(3) < 0);
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
            ShowPlainly(whole, log);
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

    void shortLinesLookAsTheStyleDrawsThem()
    {
        // Lines that fit their rows are drawn by the log itself: as the plain delegate draws them,
        // selected or not, red or not, in the view and in a window in the background.
        EventLog log;
        QListView plain;
        ShowPlainly(plain, log);
        LineMarks red;
        red.flagged = true;
        log.AddLine("Connect Succeed");
        log.AddReply("AB\x02q", 3, false, {}, red);
        log.AddCommand("<02>S<03>", "\x02S\x03", "<02>S<03>", {}, {});
        log.AddReply("\xffS\x01", 1, false, {}, {});
        QTRY_COMPARE(log.model()->rowCount(), 4);
        for (QListView* view : {static_cast<QListView*>(&log), &plain}) {
            view->setFont(QFont(QStringLiteral("AR PL UMing TW"), 9, QFont::Bold)); // the log's
            view->resize(300, 120);
            view->show();
            QVERIFY(QTest::qWaitForWindowExposed(view));
            view->selectionModel()->select(view->model()->index(1, 0), QItemSelectionModel::Select);
            view->selectionModel()->select(view->model()->index(2, 0), QItemSelectionModel::Select);
        }
        for (bool disabled : {false, true}) {
            log.setDisabled(disabled);
            plain.setDisabled(disabled);
            QCOMPARE(log.grab().toImage(), plain.grab().toImage());
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
    void aZeroFloodKeepsTheLogWithinItsMemory()
    {
        // 1 MiB of memory in lines of 16 KiB: zeros, eight bytes of text a byte, flood it.
        EventLog log;
        log.setLimits(1 << 20, 16 << 10);
        const QByteArray zeros(64 << 10, '\0');
        for (int i = 0; i < 64; ++i)
            log.AddReply(zeros, -1);
        const EventLogModel& model = log.logModel();
        qint64 text = 0;
        qint64 bytes = 0;
        qint64 footprints = 0;
        for (const LogLine& line : model.lines()) {
            text += line.text().size() * 2;
            bytes += line.byteCount();
            footprints += line.footprint();
        }
        QCOMPARE(model.keptMemory(), footprints); // the budget counts what the lines hold now
        QVERIFY2(text <= 1 << 20 && text > 3 << 18, qPrintable(QString::number(text)));
        QCOMPARE(bytes + model.leftBytes(), 64 * zeros.size()); // every byte accounted for
        QCOMPARE(log.line(0), QStringLiteral("%1 lines (%2 bytes) left the log since it was last "
                                             "cleared, to keep it within 1 MiB of memory")
                                  .arg(model.leftLines())
                                  .arg(model.leftBytes()));
    }
    void aLineThatUpdatesStaysInPlaceUntilItLeaves()
    {
        EventLog log;
        log.setLimits(64 << 10, 1 << 10);
        qint64 counted = -1;
        log.AddLine("before");
        log.UpdateLine(counted, "1 counted");
        log.AddLine("after");
        log.UpdateLine(counted, "2 counted");
        QCOMPARE(log.lines(), QStringList({"before", "2 counted", "after"}));
        // Once it has left (the oldest lines go to keep the memory), the count comes anew.
        for (int i = 0; i < 200; ++i)
            log.AddReply(QByteArray(1 << 10, 'x'), -1);
        log.UpdateLine(counted, "3 counted");
        QVERIFY(!log.lines().contains("2 counted"));
        QCOMPARE(log.line(log.count() - 1), "3 counted");
        QVERIFY(log.logModel().noticeRows() == 1);
        log.UpdateLine(counted, "4 counted");
        QCOMPARE(log.line(log.count() - 1), "4 counted");
        QCOMPARE(log.lines().filter("counted").size(), 1);
    }
};

QTEST_MAIN(TestEventLog)
#include "tst_eventlog.moc"
