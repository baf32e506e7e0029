#pragma once

#include "terminal/CheckChoice.h"
#include "terminal/Pattern.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

class ShellLink;
class ShellOutput;
struct ShellOptions;

// accessterm send: each command in turn is logged, written, and answered by the reply burst
// that follows it within the wait, or noted as unanswered.
class ShellSend : public QObject
{
    Q_OBJECT
public:
    ShellSend(const ShellOptions& options, ShellLink& link, ShellOutput& output,
              QObject* parent = nullptr);

    // Checks every command, then opens the link and sends; Finished follows.
    void Start();
    // A stop signal: the link is closed and the mode ends with 128 + the signal's number.
    void Stop(int signalNumber);

signals:
    // 0 every command got a reply (that matched), 1 one got none, did not match or was too long,
    // 2 nothing could be sent or the link failed; 141 the output's reader went away.
    void Finished(int status);

private:
    void sendNext();
    void replyArrived(const QByteArray& reply, bool continued);
    void answered();
    // With --expect: a reply its pattern does not find makes the status 1.
    void checkReply(const QByteArray& reply);
    void waitOver();
    void peerClosed(bool reset);
    void finish(int status);

    const ShellOptions& m_options;
    ShellLink& m_link;
    ShellOutput& m_output;
    CheckChoice m_checks;      // added to every command and checked in every reply
    QList<QByteArray> m_bytes; // of each command, in order
    QStringList m_shown;       // each command as its "[Output]" line shows it
    QList<Pattern> m_patterns;
    int m_next = 0; // the command whose reply is awaited, or the next to go out
    int m_status = 0;
    bool m_awaiting = false;
    qint64 m_burstBytes = 0; // of the reply being printed, in all its pieces so far
    int m_pieces = 0;        // counts the pieces printed, to tell whether a reply went on
    bool m_stopping = false;
    bool m_finished = false;
    bool m_saidGaveUp = false;
    QTimer m_wait;
};
