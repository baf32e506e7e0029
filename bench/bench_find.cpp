// Finding in a log of a million replies of 60 random printable bytes, one of them near the end
// holding what is searched for: each figure from the last keystroke until the bar can say "1 of
// 1", with the longest stall of the window meanwhile; only matching lines, at once and while
// lines keep coming. Run headless with QT_QPA_PLATFORM=offscreen.
#include "console/EventLog.h"
#include "find/FindBar.h"
#include "find/LogFind.h"
#include "find/LogSearch.h"
#include "find/MatchingLines.h"

#include "StallWatch.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <random>

namespace
{

constexpr int kLines = 1000000;
constexpr int kMatchAt = 990000;
const QByteArray kNeedle = "Zq9xKw7M";

// Runs the event loop until done() holds, or for 60 s at most.
template <typename Done> void WaitFor(Done done)
{
    QElapsedTimer deadline;
    deadline.start();
    while (!done() && deadline.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

QByteArray RandomReply(std::mt19937& random)
{
    QByteArray reply(60, Qt::Uninitialized);
    for (char& c : reply)
        c = char(0x21 + random() % 94);
    return reply;
}

struct Timing {
    double ms = 0;
    double firstMs = 0;
    double stallMs = 0;
};

// Types words into the bar, the clock from the last keystroke until the search has looked at
// every line (and, while only matching lines are shown, they are rows).
Timing Search(LogFind& find, StallWatch& stall, int way, const QString& words)
{
    FindBar& bar = find.bar();
    bar.findChild<QComboBox*>("findWay")->setCurrentIndex(way);
    bar.words().clear();
    QTest::keyClicks(&bar.words(), words.chopped(1));
    QApplication::processEvents();
    Timing t;
    Clock::time_point first{};
    QObject watch;
    QObject::connect(&find.search(), &LogSearch::currentChanged, &watch,
                     [&first] { first = Clock::now(); });
    stall.start();
    const Clock::time_point start = Clock::now();
    QTest::keyClick(&bar.words(), words.back().toLatin1());
    WaitFor([&] { return find.search().complete(); });
    t.ms = MsBetween(start, Clock::now());
    QApplication::processEvents();
    t.stallMs = stall.longestMs();
    t.firstMs = first == Clock::time_point{} ? -1 : MsBetween(start, first);
    return t;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    auto* log = new EventLog(&window);
    QFont font(QStringLiteral("AR PL UMing TW"), 9);
    font.setBold(true);
    log->setFont(font);
    log->resize(548, 316);
    window.resize(548, 316);
    LogFind find(*log, window);
    window.show();
    QApplication::processEvents();

    std::mt19937 random(41);
    for (int i = 0; i < kLines; ++i) {
        QByteArray reply = RandomReply(random);
        if (i == kMatchAt)
            reply.replace(20, kNeedle.size(), kNeedle);
        log->AddReply(reply, -1);
        if (i % 1000 == 0)
            QApplication::processEvents();
    }
    WaitFor([&] { return log->model()->rowCount() == log->count(); });
    StallWatch stall;
    find.open(&find.bar().words());
    find.bar().findChild<QCheckBox*>("findCase")->setChecked(true);

    const QString needle = QString::fromLatin1(kNeedle);
    const Timing text = Search(find, stall, 0, needle);
    std::printf("find_text_1m_lines_ms: %.1f ms\n", text.ms);
    std::printf("find_text_1m_lines_first_ms: %.1f ms\n", text.firstMs);
    std::printf("find_text_1m_lines_stall_ms: %.1f ms\n", text.stallMs);
    std::printf("find_text_1m_lines_found: %zu lines\n", find.search().found().size());
    find.bar().findChild<QCheckBox*>("findCase")->setChecked(false);
    const Timing anyCase = Search(find, stall, 0, needle.toLower());
    std::printf("find_text_any_case_1m_lines_ms: %.1f ms\n", anyCase.ms);
    const Timing pattern = Search(find, stall, 1, QStringLiteral("Zq9x[A-Z]w7M"));
    std::printf("find_pattern_1m_lines_ms: %.1f ms\n", pattern.ms);
    std::printf("find_pattern_1m_lines_first_ms: %.1f ms\n", pattern.firstMs);
    std::printf("find_pattern_1m_lines_stall_ms: %.1f ms\n", pattern.stallMs);
    std::printf("find_pattern_1m_lines_found: %zu lines\n", find.search().found().size());
    const Timing bytes = Search(find, stall, 2, QString::fromLatin1(kNeedle.toHex(' ')));
    std::printf("find_bytes_1m_lines_ms: %.1f ms\n", bytes.ms);
    std::printf("find_stall_ms: %.1f ms\n",
                std::max({text.stallMs, anyCase.stallMs, pattern.stallMs, bytes.stallMs}));

    // Only matching lines with two lines of context each, turned on before the last keystroke.
    find.bar().findChild<QSpinBox*>("findContext")->setValue(2);
    find.bar().findChild<QCheckBox*>("findOnly")->setChecked(true);
    const Timing filter = Search(find, stall, 0, needle);
    std::printf("filter_1m_lines_ms: %.1f ms\n", filter.ms);
    std::printf("filter_1m_lines_stall_ms: %.1f ms\n", filter.stallMs);
    std::printf("filter_1m_lines_rows: %d rows\n", log->model()->rowCount());

    // 1,000 lines a second for 5 s while filtered, one in a hundred matching.
    const int rowsBefore = log->model()->rowCount();
    int added = 0;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        for (int i = 0; i < 10; ++i, ++added) {
            QByteArray reply = RandomReply(random);
            if (added % 100 == 50)
                reply.replace(0, kNeedle.size(), kNeedle);
            log->AddReply(reply, -1);
        }
    });
    stall.start();
    feed.start(10);
    QElapsedTimer live;
    live.start();
    WaitFor([&] { return live.elapsed() >= 5000; });
    feed.stop();
    WaitFor([&] { return log->model()->rowCount() >= rowsBefore + added / 100 * 5; });
    std::printf("filter_live_stall_ms: %.1f ms\n", stall.longestMs());
    std::printf("filter_live_lines: %d lines\n", added);
    std::printf("filter_live_rows_added: %d rows\n", log->model()->rowCount() - rowsBefore);
    return 0;
}
