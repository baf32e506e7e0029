#pragma once

#include "links/LineSink.h"
#include "links/LinkResult.h"
#include "links/Winsock.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

// The terminal's one TCP client connection. It owns Winsock1 and turns its events into
// Connected, ReplyArrived (after the 300 ms settle and one GetData) and SocketError. A reply
// comes with how long after the connection's last write its first byte came, -1 when nothing
// was written on it.
class TcpLink : public QObject
{
    Q_OBJECT
public:
    explicit TcpLink(LineSink& log, QObject* parent = nullptr);

    void ConnectTo(const QString& host, qint64 port);
    void Disconnect();
    int GetState() const;
    LinkResult Send(const QByteArray& bytes);
    // Adds "Connect State:" followed by the state's name to the event log.
    void LogSocketState();
    // Whether an arrival is in its settle wait: a reply is on its way.
    bool Gathering() const { return m_gathering; }

    Winsock& Winsock1() { return m_socket; }

    static QString StateName(int state);

signals:
    void Connected();
    void ReplyArrived(const QByteArray& reply, qint64 answerMs);
    void SocketError(int number, const QString& description);
    // The peer closed the connection; what it sent before is still delivered.
    void PeerClosed();

private:
    void Winsock1_DataArrival(qint32 bytesTotal);

    LineSink& m_log;
    Winsock m_socket;
    bool m_gathering = false;
    quint64 m_connection = 0; // counts ConnectTo and Disconnect calls
    QElapsedTimer m_sinceWrite; // invalid until a write on the connection made now
};
