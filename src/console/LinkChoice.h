#pragma once

#include "console/LineMarks.h"
#include "links/TcpServerLink.h"
#include "links/UdpLink.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class EventLog;

// What "TCP/IP" stands for: the TCP client the window has always had, or, chosen in the "Link"
// menu for the run, a TCP server that a controller calls, or UDP. It owns the two links beyond
// the client and logs their events as the client's are logged; "IP Address" and "Port No." are
// where to listen for a server, the controller's for UDP.
class LinkChoice : public QObject
{
    Q_OBJECT
public:
    enum class Kind { TcpClient, TcpServer, Udp };

    explicit LinkChoice(EventLog& log, QObject* parent = nullptr);

    Kind kind() const { return m_kind; }
    // Logs "Link: TCP server"; the link left is closed.
    void Choose(Kind kind);
    static QString Name(Kind kind);
    // The local port UDP binds, 0 for any free one; logged, and used from the next "Connect".
    void SetLocalPort(quint16 port);
    quint16 localPort() const { return m_localPort; }

    // Listens or binds for the link chosen; a failure is one line with the system's reason.
    void Connect(const QString& host, qint64 port);
    void Close();
    // One command over the link chosen, or the line that says why it cannot go.
    void Send(const QByteArray& bytes);

    // While set, what the server's peer sends is handed on as read (its link's BytesRead), and
    // each datagram as DatagramRead rather than as a reply: a protocol's reader takes them.
    void SetHandOnAsRead(bool on);

    TcpServerLink& server() { return m_server; }
    UdpLink& udp() { return m_udp; }

signals:
    // A reply gathered from the server's peer, or one datagram, marked with its sender.
    void ReplyArrived(const QByteArray& reply, qint64 answerMs, bool continued,
                      const LineMarks& marks);
    // One datagram, marked with its sender, while handing on as read.
    void DatagramRead(const QByteArray& datagram, qint64 answerMs, const LineMarks& marks);

private:
    void datagram(const QByteArray& bytes, const QHostAddress& from, quint16 port, qint64 ms);

    EventLog& m_log;
    TcpServerLink m_server;
    UdpLink m_udp;
    Kind m_kind = Kind::TcpClient;
    quint16 m_localPort = 0;
    bool m_handOn = false;
};
