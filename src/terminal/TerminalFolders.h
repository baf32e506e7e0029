#pragma once

#include <QString>

// Where the terminal keeps its files, for the window and the shell alike.

// Where the terminal keeps its files when the program's directory is not writable (the program
// installed in a system folder): $XDG_DATA_HOME/accessterm, by default under ~/.local/share.
QString FallbackFolder();
// The folder of the terminal's files now: the program's directory when a file can be made
// there, otherwise the fallback folder.
QString TerminalFolder();

// The capture file beside the program, used whenever the program's directory is writable.
QString ProgramCaptureFile();
// Where captures go when it is not.
QString FallbackCaptureFile();
// The command list the engineer keeps, in the same folder as the captures.
QString CommandListFile();
// The engineer's own protocol descriptions, one file a protocol, beside the command list.
QString ProtocolFolder();
