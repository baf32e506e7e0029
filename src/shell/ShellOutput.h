#pragma once

#include "repeat/RunOutput.h"

#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <string_view>

// "  (from 10.1.2.4:60000)" for a datagram's sender that is not the controller; empty for none.
QString FromSender(const QString& sender);

// Standard output and standard error of a shell mode. Every line is written through, so a pipe
// sees it as it comes, with control characters as "<hh>" tokens (see ShellText.h). Standard output
// that cannot take a line (a full disk, a closed stream) is reported once on standard error and
// ends the run; a reader that went away ends it quietly.
class ShellOutput : public RunOutput
{
    Q_OBJECT
public:
    // Made before anything else opens a descriptor: 0-2 that are closed are opened on /dev/null,
    // so no socket or pipe of the program takes their place. SIGPIPE is ignored: a reader gone is
    // an error of the write, and the link is still closed cleanly.
    explicit ShellOutput(QObject* parent = nullptr);

    // One line to standard output; false once it cannot be written.
    bool Line(const QString& line) override;
    // One line to standard error; nothing to be done when even that fails.
    void Error(const QString& line) override;
    // A reply as a shell mode prints it: prefix, then the reply in the notation (or as upper-case
    // hex pairs), rendered a slice at a time, so a long one costs no more than a slice of text.
    bool Reply(const QString& prefix, QByteArrayView reply, bool hex) override
    {
        return Reply(prefix, reply, hex, {});
    }
    // suffix: what follows the reply on its line (a datagram's sender).
    bool Reply(const QString& prefix, QByteArrayView reply, bool hex, const QString& suffix);
    // Lines, each with its "\n", written as they are: text already made fit for a terminal (see
    // ShellText.h) that keeps a tab of its own, as before a frame's summary.
    bool Lines(std::string_view text) { return out(text); }
    // A command's "[Output]" line.
    bool Command(const QString& shown, const QByteArray& bytes) override;

    // The local time that begins each line of listen and answer, and the blanks after it.
    static QString LocalTime();

    bool ok() const { return m_status == 0; }
    // 0 while output is written; 2 when it failed; 141 (128 + SIGPIPE) when its reader went away.
    int status() const { return m_status; }

private:
    bool out(std::string_view bytes);

    bool m_stdoutClosed = false; // closed at start, and standing in for by /dev/null
    int m_status = 0;
};
