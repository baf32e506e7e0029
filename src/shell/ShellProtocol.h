#pragma once

#include <QString>

class ShellOutput;

// accessterm protocol list: the protocols, one a line, the name first, then its title and where
// it comes from (built in, or the file in the folder of descriptions), or why it was refused.
int RunProtocolList(ShellOutput& output);
// accessterm protocol show NAME: the protocol's description as it stands (exit 2 when there is no
// such protocol, or it was refused, the reason on standard error).
int RunProtocolShow(const QString& nameOrPath, ShellOutput& output);
// accessterm protocol check FILE: the description read as the terminal reads it: its name, title
// and how many messages (exit 0), or its mistake with its line on standard error (exit 2).
int RunProtocolCheck(const QString& path, ShellOutput& output);
