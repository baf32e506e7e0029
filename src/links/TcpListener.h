#pragma once

#include "links/LineSink.h"
#include "links/LinkResult.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// Listens for a controller that calls. One peer at a time, as a controller serves one host: a
// connection from another address while a peer is taken is closed at once ("Refused H:P: busy");
// one from the peer's own address replaces it, as a controller that rebooted calls again before
// its old connection is known to be gone. What it takes it hands on as a descriptor, for a
// socket to adopt. Its lines ("Connected H:P", "Closed H:P" …) go to the sink.
class TcpListener : public QObject
{
    Q_OBJECT
public:
    explicit TcpListener(LineSink& log, QObject* parent = nullptr);
    ~TcpListener() override;

    // host: an address of this machine, blank or 0.0.0.0 for every IPv4 address; port 0: any
    // free one. A failure reads "Cannot listen on H:P: why".
    LinkResult Listen(const QString& host, qint64 port);
    // Stops listening; the peer taken is its owner's to drop.
    void Close();
    bool IsListening() const;
    // Where it listens, as "0.0.0.0:4001".
    QString Address() const;
    quint16 Port() const;
    // When listening on every address: this machine's own, which the engineer types into the
    // controller ("10.1.2.50, 192.168.0.7").
    QString OwnAddresses() const;
    // The peer taken has gone: "Closed H:P" when it closed (logged true), and the next caller
    // from anywhere is taken.
    void PeerGone(bool logged);
    bool HasPeer() const { return !m_peer.isEmpty(); }

signals:
    // A connection to take in place of the peer there was, if any.
    void Taken(qintptr descriptor);

private:
    class Server;
    void incoming(qintptr descriptor);

    LineSink& m_log;
    std::unique_ptr<Server> m_server;
    QString m_peer; // the peer taken, by Name; empty when none
    QHostAddress m_peerAddress;
};
