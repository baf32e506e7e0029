#pragma once

#include "terminal/TerminalFolders.h"

#include <QByteArray>
#include <QByteArrayView>

#include <QString>
#include <span>

// Appends a reply as one line (then CR LF) to the capture file, rendered in the 8-bit code page
// a slice at a time, so that a long reply costs no more memory than a slice's rendering; the file
// is created when missing and closed again at once. An empty path becomes the program's capture
// file, or the fallback one (its directory made as needed) when the program's directory is not
// writable; path then says which. A line that could not be written is lost, and the next call
// tries afresh; false says so, with the reason in why when given.
bool AppendCaptureReply(QString& path, QByteArrayView reply, QString* why = nullptr);
// The same for several replies, a line each, the file opened once; false when any line failed.
bool AppendCaptureReplies(QString& path, std::span<const QByteArray> replies,
                          QString* why = nullptr);
