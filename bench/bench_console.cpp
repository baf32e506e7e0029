// The settle wait's processor cost and overshoot, the event log's cost for a million lines, for
// saving them and for a line every 10 ms coming into them, Show Bytes on a 16 MiB reply, and
// hovering a 16 MiB reply whose check value was checked when it came. Run headless with
// QT_QPA_PLATFORM=offscreen.
#include "checks/CheckCatalogue.h"
#include "console/EventLog.h"
#include "links/SettleDelay.h"
#include "reading/ByteDumpWindow.h"
#include "reading/LogActions.h"
#include "terminal/CheckChoice.h"

#include "ProcessFigures.h"
#include "StallWatch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHelpEvent>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace
{

// Runs the event loop until done() holds, or for 60 s at most.
template <typename Done> void WaitFor(Done done)
{
    QElapsedTimer deadline;
    deadline.start();
    while (!done() && deadline.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);

    std::vector<double> overshoot;
    const double cpuBefore = CpuMs();
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer one;
        one.start();
        SettleDelay(300);
        overshoot.push_back(one.nsecsElapsed() / 1e6 - 300.0);
    }
    const double cpu = CpuMs() - cpuBefore;
    std::sort(overshoot.begin(), overshoot.end());
    std::printf("settle_wait_alone_cpu_percent: %.2f %%\n", 100.0 * cpu / double(wall.elapsed()));
    std::printf("settle_overshoot_ms_median: %.2f ms\n", overshoot[overshoot.size() / 2]);
    std::printf("settle_overshoot_ms_max: %.2f ms\n", overshoot.back());

    EventLog log;
    LogActions actions(log);
    log.resize(548, 316);
    log.show();
    QApplication::processEvents();
    const double rssBefore = ResidentMb();
    QElapsedTimer fill;
    fill.start();
    for (int i = 0; i < 1000000; ++i) {
        log.AddLine(QStringLiteral("[Input]------<02>AB<03><0D><0A> %1").arg(i));
        if (i % 1000 == 0)
            QApplication::processEvents();
    }
    // Done when the view shows the newest line, not when the last AddLine returns.
    const QScrollBar* bar = log.verticalScrollBar();
    QElapsedTimer deadline;
    deadline.start();
    while ((log.model()->rowCount() < log.count() || bar->value() < bar->maximum() ||
            !log.visualRect(log.model()->index(log.count() - 1, 0))
                 .intersects(log.viewport()->rect())) &&
           deadline.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("log_1m_lines_ms: %lld ms\n", fill.elapsed());
    std::printf("log_1m_lines_shown: %d rows\n", log.model()->rowCount());
    std::printf("log_1m_lines_rss_mb: %.1f MB\n", ResidentMb());
    std::printf("log_1m_lines_rss_growth_mb: %.1f MB\n", ResidentMb() - rssBefore);

    // Saving those lines, from the request until the log says they are saved.
    StallWatch stall;
    const QTemporaryDir dir;
    const int lines = log.count();
    stall.start();
    QElapsedTimer save;
    save.start();
    actions.saveLog(dir.filePath(QStringLiteral("bench.log")));
    WaitFor([&] { return log.count() > lines; });
    std::printf("save_log_1m_lines_ms: %lld ms\n", save.elapsed());
    std::printf("save_log_1m_lines_stall_ms: %.1f ms\n", stall.longestMs());
    std::printf("save_log_1m_lines_file_mb: %.1f MB\n",
                QFileInfo(dir.filePath(QStringLiteral("bench.log"))).size() / 1e6);

    // A line every 10 ms for 3 s coming into the log that holds those lines: the view lays out
    // every row again for each batch.
    stall.start();
    QTimer every10Ms;
    int added = 0;
    QObject::connect(&every10Ms, &QTimer::timeout, [&] {
        log.AddLine(QStringLiteral("[Input]------<02>AB<03> %1").arg(added));
        if (++added == 300)
            every10Ms.stop();
    });
    every10Ms.start(10);
    WaitFor([&] { return added == 300; });
    WaitFor([&] { return log.model()->rowCount() == log.count(); });
    std::printf("log_1m_lines_live_stall_ms: %.1f ms\n", stall.longestMs());
    log.Clear();

    // Show Bytes on a 16 MiB reply of random bytes, until its window has been drawn.
    std::mt19937 random(16);
    QByteArray reply(16 << 20, Qt::Uninitialized);
    for (char& c : reply)
        c = char(random());
    log.AddReply(reply, 42);
    WaitFor([&] { return log.model()->rowCount() == 1; });
    log.setCurrentIndex(log.model()->index(0, 0));
    QApplication::processEvents();
    stall.start();
    QElapsedTimer open;
    open.start();
    ByteDumpWindow* dump = actions.showBytes();
    bool drawn = false;
    struct PaintSeen : QObject {
        bool& drawn;
        explicit PaintSeen(bool& seen) : drawn(seen) {}
        bool eventFilter(QObject*, QEvent* event) override
        {
            drawn |= event->type() == QEvent::Paint;
            return false;
        }
    } seen(drawn);
    dump->view()->viewport()->installEventFilter(&seen);
    WaitFor([&] { return drawn; });
    std::printf("bytes_view_16mib_open_ms: %lld ms\n", open.elapsed());
    std::printf("bytes_view_16mib_stall_ms: %.1f ms\n", stall.longestMs());
    std::printf("bytes_view_16mib_rows: %d rows\n", dump->view()->model()->rowCount());
    delete dump;

    // The same reply checked as it comes, then its row hovered until the tooltip is up: the
    // verdict is read, not worked out again.
    CheckChoice checks;
    checks.choose(FindCheck("crc16-modbus"));
    log.Clear();
    QElapsedTimer verify;
    verify.start();
    const ReplyCheck verdict = checks.verify(reply);
    std::printf("reply_check_16mib_ms: %lld ms\n", verify.elapsed());
    log.AddReply(reply, 42, false, verdict);
    WaitFor([&] { return log.model()->rowCount() == 1; });
    QApplication::processEvents();
    const QPoint at = log.visualRect(log.model()->index(0, 0)).center();
    double worst = 0;
    for (int i = 0; i < 5; ++i) {
        stall.start();
        QHelpEvent hover(QEvent::ToolTip, at, log.viewport()->mapToGlobal(at));
        QApplication::sendEvent(log.viewport(), &hover);
        QApplication::processEvents();
        worst = std::max(worst, stall.longestMs());
    }
    std::printf("log_hover_16mib_stall_ms: %.1f ms\n", worst);
    return 0;
}
