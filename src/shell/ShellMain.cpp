#include "shell/ShellMain.h"

#include "repeat/CheckRun.h"
#include "shell/ShellAnswer.h"
#include "shell/ShellChecksum.h"
#include "shell/ShellDecode.h"
#include "shell/ShellLink.h"
#include "shell/ShellListen.h"
#include "shell/ShellOptions.h"
#include "shell/ShellOutput.h"
#include "shell/ShellProtocol.h"
#include "shell/ShellRepeat.h"
#include "shell/ShellSend.h"
#include "shell/ShellSendFrames.h"
#include "terminal/ProtocolCatalogue.h"
#include "terminal/StopSignals.h"
#include "terminal/TerminalFolders.h"

#include <QCoreApplication>
#include <QTimer>

namespace
{

template <class Mode>
int Run(const ShellOptions& options, ShellLink& link, ShellOutput& output, StopSignals& stop)
{
    Mode mode(options, link, output);
    QObject::connect(&mode, &Mode::Finished, &QCoreApplication::exit);
    QObject::connect(&stop, &StopSignals::stopRequested, &mode, &Mode::Stop);
    QTimer::singleShot(0, &mode, &Mode::Start);
    return QCoreApplication::exec();
}

} // namespace

int RunShell(int argc, char* argv[])
{
    // Before anything opens a descriptor of its own.
    ShellOutput output;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("accessterm"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ACCESSTERM_VERSION));

    ShellOptions options;
    QString error;
    if (!ParseShellOptions(QCoreApplication::arguments(), options, error)) {
        output.Error(QStringLiteral("accessterm: ") + error + QLatin1Char('\n') +
                     ShellUsage().chopped(1));
        return 2;
    }
    if (options.mode == ShellOptions::Mode::Help) {
        output.Line(ShellHelpText().chopped(1));
        return output.status();
    }
    if (options.mode == ShellOptions::Mode::Version) {
        output.Line(QStringLiteral("accessterm " ACCESSTERM_VERSION));
        return output.status();
    }

    if (options.mode == ShellOptions::Mode::Checksum)
        return RunChecksum(options, output);
    if (options.mode == ShellOptions::Mode::Protocol && options.protocolAction == "show")
        return RunProtocolShow(options.protocol, output);
    if (options.mode == ShellOptions::Mode::Protocol && options.protocolAction == "check")
        return RunProtocolCheck(options.protocol, output);
    if (options.mode == ShellOptions::Mode::Protocol)
        return RunProtocolList(output);
    if (options.mode == ShellOptions::Mode::Decode)
        return RunDecode(
            {options.protocol, options.input, options.raw, options.osdpcap, options.hex}, output);

    if (!options.protocol.isEmpty()) {
        const ProtocolEntry protocol = ProtocolCatalogue(ProtocolFolder()).Find(options.protocol);
        if (!protocol.ok()) {
            output.Error(QStringLiteral("accessterm: ") + protocol.refusal);
            return 2;
        }
        options.description = protocol.description;
    }

    // Installed before the link opens, so a stop at any time closes it cleanly.
    StopSignals stop;
    if (options.mode == ShellOptions::Mode::Answer) {
        ShellAnswer answer(options, output);
        QObject::connect(&answer, &ShellAnswer::Finished, &QCoreApplication::exit);
        QObject::connect(&stop, &StopSignals::stopRequested, &answer, &ShellAnswer::Stop);
        QTimer::singleShot(0, &answer, &ShellAnswer::Start);
        return QCoreApplication::exec();
    }
    ShellLink link(options, output);
    if (options.mode == ShellOptions::Mode::Send && options.everyMs >= 0)
        return Run<ShellRepeat>(options, link, output, stop);
    if (options.mode == ShellOptions::Mode::Send && !options.protocol.isEmpty())
        return Run<ShellSendFrames>(options, link, output, stop);
    if (options.mode == ShellOptions::Mode::Send)
        return Run<ShellSend>(options, link, output, stop);
    if (options.mode == ShellOptions::Mode::Check) {
        CheckRunOptions asked{options.script, options.commandsFile, options.repeat,
                              options.hex,    options.check,        {}};
        // A command the serial line's frame cannot carry is refused before anything is sent.
        if (options.host.isEmpty())
            asked.tooWide = [frame = options.frame](QByteArrayView bytes) {
                return frame.tooWide(bytes);
            };
        CheckRun check(asked, link, output);
        if (!options.protocol.isEmpty())
            check.SetProtocol(options.description);
        QObject::connect(&check, &CheckRun::Finished, &QCoreApplication::exit);
        QObject::connect(&stop, &StopSignals::stopRequested, &check,
                         qOverload<int>(&CheckRun::Stop));
        QTimer::singleShot(0, &check, &CheckRun::Start);
        return QCoreApplication::exec();
    }
    return Run<ShellListen>(options, link, output, stop);
}
