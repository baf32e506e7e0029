#include "shell/FrontDoor.h"

#include "shell/ShellOptions.h"

#include <QtGlobal>

#include <cstdio>
#include <cstring>

std::optional<int> TurnedAwayFromWindow(int argc, char* argv[])
{
    // Options (Qt's own among them, such as -platform) are left to the window.
    if (argc > 1 && argv[1][0] != '-') {
        std::fprintf(stderr,
                     "accessterm: \"%s\" is not a command: the commands are send, listen, check, "
                     "answer, checksum and protocol\n%s",
                     argv[1], qUtf8Printable(ShellUsage()));
        return 2;
    }
    bool platform = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    for (int n = 1; n < argc; ++n)
        platform = platform || std::strcmp(argv[n], "-platform") == 0;
    if (!platform && !qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
        std::fputs("accessterm: no display to open the window on; without one use accessterm "
                   "send, listen, check, answer, checksum or protocol, or start the window with "
                   "xvfb-run\n",
                   stderr);
        return 2;
    }
    return std::nullopt;
}
