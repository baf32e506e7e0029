#include "shell/FrontDoor.h"

#include "shell/ShellOptions.h"
#include "shell/ShellText.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace
{

const char kWithoutDisplay[] = "without one use accessterm send, listen, check, answer, "
                               "checksum, protocol or decode, or start the window with xvfb-run";

struct HeldMessage {
    QtMsgType type;
    const char* file;
    int line;
    const char* function;
    const char* category;
    QString text;
};
QtMessageHandler g_previous = nullptr;
QList<HeldMessage> g_held;

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        g_held.append({type, context.file, context.line, context.function, context.category, text});
        return;
    }
    // The toolkit said why first ("could not connect to display :77"); its last word is advice
    // that does not fit.
    const QString why =
        g_held.isEmpty() ? QStringLiteral("no platform to show a window on") : g_held.first().text;
    std::fprintf(stderr, "accessterm: the display cannot be opened (%s); %s\n",
                 WithControlsAsTokens(why.toStdString()).c_str(), kWithoutDisplay);
    ::_exit(2);
}

} // namespace

std::optional<int> TurnedAwayFromWindow(int argc, char* argv[])
{
    // Options (Qt's own among them, such as -platform) are left to the window.
    if (argc > 1 && argv[1][0] != '-') {
        std::fprintf(stderr,
                     "accessterm: \"%s\" is not a command: the commands are send, listen, check, "
                     "answer, checksum, protocol and decode\n%s",
                     WithControlsAsTokens(argv[1]).c_str(), qUtf8Printable(ShellUsage()));
        return 2;
    }
    bool platform = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    for (int n = 1; n < argc; ++n)
        platform = platform || std::strcmp(argv[n], "-platform") == 0;
    if (!platform && !qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "accessterm: no display to open the window on; %s\n", kWithoutDisplay);
        return 2;
    }
    return std::nullopt;
}

DisplayOpening::DisplayOpening()
{
    g_previous = qInstallMessageHandler(HoldMessage);
}

DisplayOpening::~DisplayOpening()
{
    qInstallMessageHandler(g_previous);
    for (const HeldMessage& held : std::as_const(g_held))
        g_previous(held.type,
                   QMessageLogContext(held.file, held.line, held.function, held.category),
                   held.text);
    g_held.clear();
}
