#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

// The traffic lines of the log and the way from command text to bytes, shared by the window's
// controller and the shell modes, so that both read, word and refuse a command alike.

inline const QString kOutputMarker = QStringLiteral("[Output]------");
inline const QString kInputMarker = QStringLiteral("[Input]------");
// Begins each further line of a reply too long for one: the same length as kInputMarker, so
// the reply's rendering starts at the same column on every line.
inline const QString kContinuedMarker = QStringLiteral("[Input]+-----");

// Only blanks are trimmed: a tab at either end is part of the command.
QString TrimBlanks(const QString& text);

// A whole number read the way every numeric box is read; none when it lies beyond 32 bits.
std::optional<std::int32_t> RoundedValue(const QString& text);

// The log line for a reply, built in one piece: a reply can run to megabytes, and every copy of
// it on the way to the log costs as much as rendering it. betweenSlices, when given, is called
// after each slice of kRenderSliceBytes but the last.
QString InputLine(QByteArrayView reply, const QString& marker = kInputMarker,
                  const std::function<void()>& betweenSlices = {});
inline constexpr qsizetype kRenderSliceBytes = qsizetype(256) << 10;

// The bytes of a trimmed command text, or, when nothing may be sent, the line that says why
// ("Nothing sent: " and the reason).
struct CommandBytes {
    QByteArray bytes;
    QString refusal;

    bool ok() const { return refusal.isEmpty(); }
};
CommandBytes EncodeForSending(const QString& text);
