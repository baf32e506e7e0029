#pragma once

#include "links/LineSink.h"
#include "links/LinkResult.h"
#include "links/TcpLink.h"
#include "links/TcpListener.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// The link to a controller that calls: it listens, and the peer it takes (see TcpListener) is a
// TCP link as the client's is, its replies gathered the same way. The peer closing leaves it
// listening for the next.
class TcpServerLink : public QObject
{
    Q_OBJECT
public:
    explicit TcpServerLink(LineSink& log, QObject* parent = nullptr);

    // Logs "Listening on 0.0.0.0:4001 (the machine's addresses)"; a failure is not logged.
    LinkResult Listen(const QString& host, qint64 port);
    // Stops listening and drops the peer.
    void Close();
    bool IsListening() const { return m_listener.IsListening(); }
    // Whether a peer is connected: the link.
    bool IsConnected() const { return m_link.GetState() == Winsock::sckConnected; }
    // The peer's state, or sckListening when there is none to talk to but one may call.
    int GetState() const;
    LinkResult Send(const QByteArray& bytes, bool timed = true);
    // "Connect State:" and the state's name, as the client's.
    void LogSocketState();
    void SetLongestRead(qint64 bytes) { m_link.SetLongestRead(bytes); }
    bool Gathering() const { return m_link.Gathering(); }

    TcpListener& listener() { return m_listener; }
    TcpLink& link() { return m_link; }

signals:
    // A peer connected, and is the link.
    void Connected();
    void ReplyArrived(const QByteArray& reply, qint64 answerMs, bool continued);
    // The peer closed (what it sent before is still delivered); listening goes on.
    void PeerClosed();
    void SocketError(int number, const QString& description);

private:
    void taken(qintptr descriptor);

    LineSink& m_log;
    TcpListener m_listener;
    TcpLink m_link;
};
