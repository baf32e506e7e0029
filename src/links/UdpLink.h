#pragma once

#include "links/LineSink.h"
#include "links/LinkResult.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QUdpSocket>

// The link to a controller over UDP: each command one datagram to the controller's address and
// port, from a local port; each datagram that comes to that port, from whoever sent it, one
// reply, handed on as it comes (a datagram is whole: there is nothing to settle). The socket is
// not connected, so that every controller that answers a broadcast is heard; the system's "port
// unreachable" for a controller that does not listen is then not seen.
class UdpLink : public QObject
{
    Q_OBJECT
public:
    // The most one datagram over IPv4 holds.
    static constexpr qsizetype kLongestDatagram = 65507;

    explicit UdpLink(LineSink& log, QObject* parent = nullptr);

    // Binds localPort (0: any free one) for datagrams to host:port, the broadcast address
    // included, and logs "UDP on local port 53122, to 10.1.2.3:60000". A failure is not logged.
    LinkResult Open(const QString& host, qint64 port, qint64 localPort = 0);
    // Binds host:port to answer whoever sends there (no controller of its own).
    LinkResult Bind(const QString& host, qint64 port);
    void Close();
    bool IsOpen() const { return m_socket.state() == QAbstractSocket::BoundState; }
    quint16 LocalPort() const { return m_socket.localPort(); }
    // One datagram to the controller; timed false: an automatic answer, which does not restart a
    // reply's time after the command.
    LinkResult Send(const QByteArray& bytes, bool timed = true);
    LinkResult SendTo(const QByteArray& bytes, const QHostAddress& to, quint16 port,
                      bool timed = false);
    // Whether a datagram from there is the controller's.
    bool IsController(const QHostAddress& from, quint16 port) const;
    // The controller, as "10.1.2.3:60000".
    QString ControllerName() const;
    // The datagrams the link has handed on since it opened.
    quint64 DatagramsRead() const { return m_read; }

signals:
    // One datagram, empty ones included; answerMs from the last command sent (-1 for none).
    void DatagramArrived(const QByteArray& datagram, const QHostAddress& from, quint16 port,
                         qint64 answerMs);

private:
    LinkResult bind(const QHostAddress& local, qint64 port, const QString& what);
    void readDatagrams();

    LineSink& m_log;
    QUdpSocket m_socket;
    QHostAddress m_controller;
    quint16 m_controllerPort = 0;
    QElapsedTimer m_sinceWrite;
    quint64 m_read = 0;
};
