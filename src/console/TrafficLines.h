#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// The traffic lines of the log and the way from command text to bytes, shared by the window's
// controller and the shell modes, so that both read, word and refuse a command alike.

inline const QString kOutputMarker = QStringLiteral("[Output]------");
inline const QString kInputMarker = QStringLiteral("[Input]------");

// Only blanks are trimmed: a tab at either end is part of the command.
QString TrimBlanks(const QString& text);

// A whole number read the way every numeric box is read; none when it lies beyond 32 bits.
std::optional<std::int32_t> RoundedValue(const QString& text);

// The log line for a reply, built in one piece: a reply can run to megabytes, and every copy of
// it on the way to the log costs as much as rendering it.
QString InputLine(const QByteArray& reply);

// The bytes of a trimmed command text, or, when nothing may be sent, the line that says why
// ("Nothing sent: " and the reason).
struct CommandBytes {
    QByteArray bytes;
    QString refusal;

    bool ok() const { return refusal.isEmpty(); }
};
CommandBytes EncodeForSending(const QString& text);
