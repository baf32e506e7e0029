#pragma once

#include "terminal/Pattern.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <optional>

class RefusedLines;

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

// A check file, one step a line: "send COMMAND", "use NAME" (a command of the command list),
// "expect PATTERN [within MS]" and "wait MS"; blank lines and lines starting with "#" are
// skipped; a line longer than 1 MiB is refused. The file is held as its bytes and read a step at
// a time as it runs, so that a long file costs little more than its own size.
class CheckScript
{
public:
    CheckScript() = default;
    // text: the file in UTF-8; commands: the command list's, of which only the names the file
    // uses are kept.
    CheckScript(const QByteArray& text, const QByteArray& commands);

    // Reads every line once, each one refused told to refused ("line N: why"); also, when given,
    // says why a step to send cannot go as it stands (empty when it can).
    void Check(RefusedLines& refused,
               const std::function<QString(const CheckStep&)>& also = {}) const;
    // The next step; false past the last, and the first comes next again.
    bool Next(CheckStep& step);

private:
    QByteArray m_text;
    QHash<QString, std::optional<QString>> m_named; // case-folded name: command, none if twice
    qsizetype m_at = 0;                             // where the next line starts
    int m_line = 0;                                 // of the line before m_at
};
