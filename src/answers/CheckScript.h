#pragma once

#include "terminal/Pattern.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One step of a check file.
struct CheckStep {
    enum class Kind { Send, Expect, Wait };
    Kind kind = Kind::Send;
    int line = 0;
    QString text;    // the line as written, trimmed
    QString command; // Send: the command in the notation
    QByteArray bytes;
    std::optional<Pattern> pattern; // Expect
    int ms = 0;                     // Expect: within; Wait: how long
};

inline constexpr int kDefaultWithinMs = 2000;

// Reads a check file, one step a line: "send COMMAND", "use NAME" (a command of the command
// list, whose text is commands), "expect PATTERN [within MS]" and "wait MS"; blank lines and
// lines starting with "#" are skipped. Every line refused adds "line N: why" to problems.
QList<CheckStep> ParseCheckScript(const QString& text, const QString& commands,
                                  QStringList& problems);
