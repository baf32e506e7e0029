// The settle wait's processor cost and overshoot, and the event log's cost for a million lines.
// Run headless with QT_QPA_PLATFORM=offscreen.
#include "console/EventLog.h"
#include "links/SettleDelay.h"

#include "ProcessFigures.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

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
    return 0;
}
