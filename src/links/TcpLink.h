#pragma once

#include "links/LineSink.h"
#include "links/LinkResult.h"
#include "links/Winsock.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

// The terminal's one TCP client connection. It owns Winsock1 and turns its events into
// Connected, ReplyArrived and SocketError.
//
// How it works:
// - DataArrival starts a burst: the link notes how long after the connection's last write the
//   first byte came (-1 when nothing was written on it), waits 300 ms with SettleDelay, then
//   takes what has come a slice of 1 MiB at a time (takeBurst), one turn of the event loop
//   between slices, and emits ReplyArrived once.
// - The settle wait and the turns run the window's events nested inside them: the operator may
//   send, connect again or close meanwhile, and more bytes come. While m_gathering is set,
//   arrivals belong to the burst being gathered and start nothing.
// - m_connection counts every ConnectTo and Disconnect. A wait or a slice that ends on another
//   connection than it began on drops what it took with the old connection; the new one's bytes
//   get a wait of their own.
// - m_gathering stays set while the reply is handed on; what came meanwhile gets a round of its
//   own on the next turn, as the socket does not announce it again.
// - A peer may be read a piece at a time (SetLongestRead): a reply that fills a piece goes on in
//   the next, which comes marked as its continuation when it follows within a settle wait.
// - Handing on as read (SetHandOnAsRead) skips the settle wait: each read goes out at once with
//   BytesRead. A burst already in its wait when the mode is set ends as before; bytes left
//   unread when the mode changes get a round of their own on the next turn, in the new mode.
class TcpLink : public QObject
{
    Q_OBJECT
public:
    explicit TcpLink(LineSink& log, QObject* parent = nullptr);

    void ConnectTo(const QString& host, qint64 port);
    // Takes a connection a listener accepted in place of the one there was (see TcpServerLink);
    // false when the socket could not take it.
    bool Adopt(qintptr descriptor);
    void Disconnect();
    int GetState() const;
    // An automatic answer is no command: with timed false, replies are still timed from the last
    // command.
    LinkResult Send(const QByteArray& bytes, bool timed = true);
    // Adds "Connect State:" followed by the state's name to the event log.
    void LogSocketState();
    // Reads at most bytes in one reply (0: everything that has come), so that a peer that
    // floods is held back rather than gathered in memory for a whole settle wait.
    void SetLongestRead(qint64 bytes);
    // While set, what arrives is handed on as it is read, with no settle wait: BytesRead once for
    // each read (at most the longest read, SetLongestRead), on the event-loop turn the bytes
    // came. Set or cleared between bursts: a burst already in its settle wait is handed on as
    // before.
    void SetHandOnAsRead(bool on);
    bool HandsOnAsRead() const { return m_handOn; }
    // Whether an arrival is in its settle wait: a reply is on its way.
    bool Gathering() const { return m_gathering; }

    Winsock& Winsock1() { return m_socket; }

    static QString StateName(int state);

signals:
    void Connected();
    // continued: the reply goes on from the one before, which filled the longest read.
    void ReplyArrived(const QByteArray& reply, qint64 answerMs, bool continued);
    // sinceWriteMs: from the link's last timed write to this read; -1 when nothing was written on
    // the link as now opened or connected.
    void BytesRead(const QByteArray& bytes, qint64 sinceWriteMs);
    void SocketError(int number, const QString& description);
    // The peer closed the connection; what it sent before is still delivered.
    void PeerClosed();

private:
    void Winsock1_DataArrival(qint32 bytesTotal);
    // What has come on the connection, up to the longest read; empty when the connection is
    // replaced or closed before it is all taken.
    QByteArray takeBurst(quint64 connection);
    void handOn();
    // Gives what the socket holds a round on the next turn: it announces nothing it already has.
    void roundLater();

    LineSink& m_log;
    Winsock m_socket;
    bool m_gathering = false;
    bool m_handOn = false;
    bool m_handingOn = false;   // a read is being handed on: what comes meanwhile waits its round
    quint64 m_connection = 0;   // counts ConnectTo and Disconnect calls
    QElapsedTimer m_sinceWrite; // invalid until a write on the connection made now
    qint64 m_longestRead = 0;
    QElapsedTimer m_sinceFullRead; // valid after a read that filled m_longestRead
};
