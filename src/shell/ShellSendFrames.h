#pragma once

#include "shell/ShellFrames.h"
#include "terminal/Pattern.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

class ShellLink;
class ShellOutput;
struct ShellOptions;

// accessterm send --protocol NAME: each command is completed as the protocol says (for OSDP the
// mark, length, sequence number and CRC around the address, code and data typed), printed and
// written; its reply is the first frame that follows within the wait. Every piece read is
// printed on a line of its own with its summary.
class ShellSendFrames : public QObject
{
    Q_OBJECT
public:
    ShellSendFrames(const ShellOptions& options, ShellLink& link, ShellOutput& output,
                    QObject* parent = nullptr);

    // Checks every command, then opens the link and sends; Finished follows.
    void Start();
    // A stop signal: the link is closed and the mode ends with 128 + the signal's number.
    void Stop(int signalNumber);

signals:
    // As send's: 0 every command got a frame (that matched), 1 one got none, a frame that did
    // not match or whose check value failed, 2 nothing could be sent or the link failed.
    void Finished(int status);

private:
    void sendNext();
    void pieceRead(const ReadPiece& piece);
    void waitOver();
    void peerClosed(bool reset);
    void finish(int status);

    const ShellOptions& m_options;
    ShellLink& m_link;
    ShellOutput& m_output;
    ShellFrames m_frames;
    QList<QByteArray> m_typed; // each command's bytes as typed
    QList<Pattern> m_patterns;
    int m_next = 0; // the command whose reply is awaited, or the next to go out
    int m_status = 0;
    bool m_awaiting = false;
    bool m_extended = false; // the wait was lengthened for a frame begun
    bool m_stopping = false;
    bool m_finished = false;
    bool m_saidGaveUp = false;
    QTimer m_wait;
};
