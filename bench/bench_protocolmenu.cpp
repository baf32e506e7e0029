// The Protocol menu over a full folder of the engineer's descriptions (256 files of about 64 KiB):
// the window made without them and with them, the menu's first opening (every description read)
// and a later one with the folder unchanged (each file read again and compared, none read as a
// description again). Wall-clock times, the median of five; the window is a real one on the
// platform Qt is given (offscreen in scripts).
#include "app/ProtocolControl.h"
#include "app/TerminalWindow.h"
#include "terminal/ProtocolCatalogue.h"
#include "terminal/TerminalFolders.h"

#include "Median.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>

#include <cstdio>
#include <memory>

namespace
{

// A description of about 64 KiB: a frame and many messages of a few fields each.
QByteArray LargeDescription(int n)
{
    QByteArray text = "title number " + QByteArray::number(n) +
                      "\nstart 02\nfield CODE u16be code\ndata\nend 03\ncheck bcc from 1\n";
    for (int code = 0; text.size() < ProtocolCatalogue::kDescriptionAtMost - 200; ++code)
        text += "message m" + QByteArray::number(code) + " " + QByteArray::number(code) +
                "\nfield DOOR u8\nfield CARD u32be\nsummary door {DOOR} card {CARD}\n";
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::vector<double> none;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        TerminalWindow window;
        none.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    const QDir folder(ProtocolFolder());
    folder.mkpath(QStringLiteral("."));
    for (int n = 0; n < ProtocolCatalogue::kFilesAtMost; ++n) {
        QFile file(folder.filePath(QStringLiteral("p%1.txt").arg(n, 3, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly) || !file.write(LargeDescription(n)))
            return 2;
    }
    std::vector<double> made, first, opened;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        auto window = std::make_unique<TerminalWindow>();
        made.push_back(double(clock.nsecsElapsed()) / 1e6);
        QMenu& menu = window->protocolControl().menu();
        clock.restart();
        emit menu.aboutToShow();
        first.push_back(double(clock.nsecsElapsed()) / 1e6);
        clock.restart();
        emit menu.aboutToShow();
        opened.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    QDir(ProtocolFolder()).removeRecursively();
    std::printf("protocol_window_without_descriptions: %.1f ms\n", Median(none));
    std::printf("protocol_window_with_256_descriptions: %.1f ms\n", Median(made));
    std::printf("protocol_menu_first_opened_256: %.1f ms\n", Median(first));
    std::printf("protocol_menu_opened_256_unchanged: %.1f ms\n", Median(opened));
    return 0;
}
