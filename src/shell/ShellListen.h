#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include "terminal/OsdpCap.h"

class ShellFrames;
class ShellLink;
class ShellOutput;
struct ShellOptions;

// accessterm listen: every reply burst as it comes, as the log's "[Input]------" line after its
// local time (a burst over a line long in continuation lines, each with its time), until the time
// given has passed, the peer closes or a stop signal comes. With a protocol, every frame as it is
// cut, on a line of its own with its summary. With --trace, each burst is also a record of an
// OSDP trace.
class ShellListen : public QObject
{
    Q_OBJECT
public:
    ShellListen(const ShellOptions& options, ShellLink& link, ShellOutput& output,
                QObject* parent = nullptr);

    // Opens the link and listens; Finished follows.
    void Start();
    // Ends listening (exit status 0) once a reply on its way has been printed; a stop signal's
    // number makes no difference.
    void Stop(int signalNumber = 0);

signals:
    // 0 when listening ended as asked or the peer closed, 2 when the link failed or the peer
    // reset the connection or output failed, 141 when the output's reader went away.
    void Finished(int status);

private:
    void trace(const QByteArray& bytes);
    void finish(int status);

    const ShellOptions& m_options;
    ShellLink& m_link;
    ShellOutput& m_output;
    QTimer m_for;
    ShellFrames* m_frames = nullptr; // with a protocol
    OsdpCapWriter m_trace;
    bool m_finished = false;
};
