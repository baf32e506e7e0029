#include "shell/ShellMain.h"

#include "shell/ShellAnswer.h"
#include "shell/ShellCheck.h"
#include "shell/ShellLink.h"
#include "shell/ShellListen.h"
#include "shell/ShellOptions.h"
#include "shell/ShellSend.h"
#include "terminal/StopSignals.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace
{

template <class Mode> int Run(const ShellOptions& options, ShellLink& link, StopSignals& stop)
{
    Mode mode(options, link);
    QObject::connect(&mode, &Mode::Finished, &QCoreApplication::exit);
    QObject::connect(&stop, &StopSignals::stopRequested, &mode, &Mode::Stop);
    QTimer::singleShot(0, &mode, &Mode::Start);
    return QCoreApplication::exec();
}

} // namespace

int RunShell(int argc, char* argv[])
{
    // A pipe sees each line as it comes.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("accessterm"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ACCESSTERM_VERSION));

    ShellOptions options;
    QString error;
    if (!ParseShellOptions(QCoreApplication::arguments(), options, error)) {
        std::fprintf(stderr, "accessterm: %s\n%s", qUtf8Printable(error),
                     qUtf8Printable(ShellUsage()));
        return 2;
    }
    if (options.mode == ShellOptions::Mode::Help) {
        std::fputs(qUtf8Printable(ShellHelpText()), stdout);
        return 0;
    }
    if (options.mode == ShellOptions::Mode::Version) {
        std::printf("accessterm %s\n", ACCESSTERM_VERSION);
        return 0;
    }

    // Installed before the link opens, so a stop at any time closes it cleanly.
    StopSignals stop;
    if (options.mode == ShellOptions::Mode::Answer) {
        ShellAnswer answer(options);
        QObject::connect(&answer, &ShellAnswer::Finished, &QCoreApplication::exit);
        QObject::connect(&stop, &StopSignals::stopRequested, &answer, &ShellAnswer::Stop);
        QTimer::singleShot(0, &answer, &ShellAnswer::Start);
        return QCoreApplication::exec();
    }
    ShellLink link(options);
    if (options.mode == ShellOptions::Mode::Send)
        return Run<ShellSend>(options, link, stop);
    if (options.mode == ShellOptions::Mode::Check)
        return Run<ShellCheck>(options, link, stop);
    return Run<ShellListen>(options, link, stop);
}
