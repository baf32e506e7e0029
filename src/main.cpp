#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QTimer>

#include <chrono>
#include <cstdio>

#include "app/TerminalWindow.h"
#include "console/EventLog.h"
#include "shell/FrontDoor.h"
#include "shell/ShellMain.h"
#include "shell/ShellOptions.h"
#include "terminal/StopSignals.h"

int main(int argc, char* argv[])
{
    // send, listen, --help and --version run without a window or a display.
    if (IsShellCommand(argc, argv))
        return RunShell(argc, argv);
    if (const std::optional<int> status = TurnedAwayFromWindow(argc, argv))
        return *status;
    std::optional<DisplayOpening> opening(std::in_place);
    QApplication app(argc, argv);
    opening.reset();
    // The icon lives in the core library's resources, which the linker drops unless named.
    Q_INIT_RESOURCE(accessterm);
    QApplication::setApplicationName(QStringLiteral("accessterm"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/accessterm.png")));
    // A stop from outside (a logout, kill, Ctrl+C) ends the program as closing its window does:
    // the links close, and the serial port's lock goes with them.
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &app, &QCoreApplication::quit);
    TerminalWindow window;
    window.setWindowTitle(QStringLiteral("accessterm - Access Controller Test Terminal"));
    window.show();
    if (qEnvironmentVariableIsSet("ACCESSTERM_LOG_TO_STDOUT")) {
        // For scripted checks of the running program: every log line as it is shown.
        const EventLog* log = window.findChild<EventLog*>(QStringLiteral("LB"));
        QObject::connect(log->model(), &QAbstractItemModel::rowsInserted, &app,
                         [log](const QModelIndex&, int first, int last) {
                             for (int row = first; row <= last; ++row)
                                 std::printf("%s\n", log->line(row).toUtf8().constData());
                             std::fflush(stdout);
                         });
    }
    if (const int port = qEnvironmentVariableIntValue("ACCESSTERM_OPEN_COMPORT"); port > 0) {
        // For scripted checks of the running program: that port chosen from the list, once the
        // window runs, as the operator would.
        QTimer::singleShot(0, &window, [&window, port] {
            auto* list = window.findChild<QComboBox*>(QStringLiteral("CmbComPort"));
            list->setCurrentIndex(port - 1);
            emit list->activated(port - 1);
        });
    }
    if (qEnvironmentVariableIsSet("ACCESSTERM_STARTUP_PROBE")) {
        // The start-up benchmark: say when the shown window's first events have been handled.
        QTimer::singleShot(0, &app, [&app] {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            std::printf(
                "shown_ns: %lld\n",
                (long long)std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
            std::fflush(stdout);
            app.quit();
        });
    }
    return app.exec();
}
