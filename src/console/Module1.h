#pragma once

#include "terminal/TerminalFolders.h"

#include <QString>

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
