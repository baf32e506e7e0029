#pragma once

#include <QString>

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

// Appends text as one line (then CR LF) to the capture file, in the 8-bit code page, with one
// write; the file is created when missing and closed again at once. An empty path becomes the
// program's capture file, or the fallback one (its directory made as needed) when the program's
// directory is not writable; path then says which. A line that could not be written is lost,
// and the next call tries afresh; false says so, with the reason in why when given.
bool AppendCaptureLine(QString& path, QStringView text, QString* why = nullptr);
inline bool AppendCaptureLine(QString& path, const QString& text, QString* why = nullptr)
{
    return AppendCaptureLine(path, QStringView(text), why);
}
