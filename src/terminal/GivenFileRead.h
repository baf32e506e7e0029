#pragma once

#include "terminal/TextFileRead.h"

#include <QObject>
#include <QString>

#include <functional>

// Reads a file a run is given (a check file, a command list, an answers file) as the
// window reads its own: nothing found at the path can hold the run, and only a regular file of at
// most kTextFileAtMost bytes is read. "-" is standard input, taken a piece at a time as it comes
// on context's thread, so that a stop signal is heard while it is awaited, and refused once it
// runs past kTextFileAtMost. then follows, at once for a file; its failure names the path, and
// a file that is not there is one.
void ReadGivenFile(const QString& path, QObject* context,
                   const std::function<void(const TextFileRead&)>& then);
