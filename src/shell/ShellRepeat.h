#pragma once

#include "repeat/RepeatClock.h"
#include "repeat/RepeatRun.h"
#include "terminal/CheckChoice.h"

#include <QObject>

class ShellFrames;
class ShellLink;
class ShellOutput;
struct ShellOptions;

// accessterm send --repeat: the commands sent in rounds, each in turn, every interval or once
// the last reply is complete; the usual lines for each, a failure on standard error, and the
// verdict line last.
class ShellRepeat : public QObject
{
    Q_OBJECT
public:
    ShellRepeat(const ShellOptions& options, ShellLink& link, ShellOutput& output,
                QObject* parent = nullptr);

    // Checks every command, then opens the link and repeats; Finished follows.
    void Start();
    // A stop signal: the verdict says so, the link is closed and the mode ends with 128 + the
    // signal's number.
    void Stop(int signalNumber);

signals:
    // 0 nothing failed, 1 a send failed, 2 nothing could be sent or the link failed; 141 the
    // output's reader went away.
    void Finished(int status);

private:
    void end(const QString& reason, int status);
    void finish(int status);

    const ShellOptions& m_options;
    ShellLink& m_link;
    ShellOutput& m_output;
    CheckChoice m_checks;
    RepeatClock m_clock;
    RepeatRun* m_run = nullptr;
    ShellFrames* m_frames = nullptr; // with a protocol: what is sent and read, decoded
    int m_status = -1;               // the status once the repeat has ended, or -1
    bool m_finished = false;
};
