#pragma once

#include <QByteArray>
#include <QString>

// A text file the operator keeps beside the program, read so that nothing found at its path can
// hold the window: it is opened without blocking (a named pipe with no writer returns at once)
// and read only when what was opened is a regular file (a link to one is followed) no larger
// than atMost bytes.
struct TextFileRead {
    QByteArray content;
    QString failure; // why nothing was read; empty when read, and when there is no file
};
inline constexpr qint64 kTextFileAtMost = qint64(64) << 20;
TextFileRead ReadTextFile(const QString& path, qint64 atMost = kTextFileAtMost);
