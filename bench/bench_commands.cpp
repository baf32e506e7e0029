// The command list: how long 10,000 entries take to load, and the longest stall of the window
// while the operator types a name that every entry starts with, narrows it and picks one. The
// list lies beside this program, where the window reads it; it is removed at the end. Run
// headless (QT_QPA_PLATFORM=offscreen).
#include "app/TerminalWindow.h"
#include "commandline/CommandLine.h"
#include "commandline/CommandList.h"
#include "console/Module1.h"

#include "StallWatch.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <vector>

// Lets the window handle what the last key caused, waiting in the event loop as it does between
// keys (QTest::qWait would poll, and the thread would never be seen waiting).
static void Idle()
{
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString path = CommandListFile();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 1;
        QByteArray text = "# 10,000 commands\n";
        for (int i = 0; i < 10000; ++i)
            text += QStringLiteral("door %1 open = <02>%1OD<03><0D>\n")
                        .arg(i, 5, 10, QChar('0'))
                        .toUtf8();
        file.write(text);
    }

    std::vector<double> loads;
    for (int i = 0; i < 7; ++i) {
        CommandList list;
        QElapsedTimer timer;
        timer.start();
        list.Load(path);
        loads.push_back(timer.nsecsElapsed() / 1e6);
        if (list.rowCount() != 10000)
            return 1;
    }
    std::sort(loads.begin(), loads.end());
    std::printf("command_list_10k_load_ms: %.1f ms\n", loads[loads.size() / 2]);

    TerminalWindow window;
    window.show();
    if (!QTest::qWaitForWindowActive(&window))
        return 1;
    auto* edit = window.findChild<QLineEdit*>(QStringLiteral("txtChar"));
    QWidget* popup = window.commandLine().completer()->popup();
    QTest::mouseClick(edit, Qt::LeftButton);
    StallWatch stall;
    stall.start();
    // "d" matches all 10,000; each key after narrows the list, and Backspace widens it again.
    for (const char* keys : {"d", "oor 0", "1", "2"}) {
        for (const char* key = keys; *key; ++key) {
            QTest::keyClick(edit, *key);
            Idle();
        }
    }
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(edit, Qt::Key_Backspace);
        Idle();
    }
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}) {
        QTest::keyClick(popup, key);
        Idle();
    }
    const double stallMs = stall.longestMs();
    const bool picked = edit->text() == QStringLiteral("<02>00001OD<03><0D>");
    QFile::remove(path);
    if (!picked) {
        std::fprintf(stderr, "the completion did not pick: %s\n", qPrintable(edit->text()));
        return 1;
    }
    std::printf("command_list_complete_stall_ms: %.1f ms\n", stallMs);
    return 0;
}
