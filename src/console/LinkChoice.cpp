#include "console/LinkChoice.h"

#include "console/EventLog.h"
#include "links/PeerName.h"

LinkChoice::LinkChoice(EventLog& log, QObject* parent)
    : QObject(parent), m_log(log), m_server(log), m_udp(log)
{
    // A peer that floods comes a log line at a time, as the client's does.
    m_server.SetLongestRead(EventLog::kLineBytes);
    connect(&m_server, &TcpServerLink::Connected, this,
            [this] { m_log.AddLine(QStringLiteral("Connect Succeed")); });
    connect(&m_server, &TcpServerLink::SocketError, this,
            [this](int number, const QString& description) {
                m_log.AddLine(QStringLiteral("Socket Error:") + QString::number(number) +
                              QLatin1Char(' ') + description);
            });
    connect(&m_server, &TcpServerLink::ReplyArrived, this,
            [this](const QByteArray& reply, qint64 answerMs, bool continued) {
                emit ReplyArrived(reply, answerMs, continued, {});
            });
    connect(&m_udp, &UdpLink::DatagramArrived, this, &LinkChoice::datagram);
}

QString LinkChoice::Name(Kind kind)
{
    switch (kind) {
    case Kind::TcpServer:
        return QStringLiteral("TCP server");
    case Kind::Udp:
        return QStringLiteral("UDP");
    case Kind::TcpClient:
        break;
    }
    return QStringLiteral("TCP client");
}

void LinkChoice::Choose(Kind kind)
{
    Close();
    m_kind = kind;
    m_log.AddLine(QStringLiteral("Link: ") + Name(kind));
}

void LinkChoice::SetLocalPort(quint16 port)
{
    m_localPort = port;
    m_log.AddLine(port ? QStringLiteral("Local Port: %1").arg(port)
                       : QStringLiteral("Local Port: any free one"));
}

void LinkChoice::Connect(const QString& host, qint64 port)
{
    const LinkResult opened =
        m_kind == Kind::Udp ? m_udp.Open(host, port, m_localPort) : m_server.Listen(host, port);
    if (!opened.ok())
        m_log.AddLine(opened.description());
}

void LinkChoice::SetHandOnAsRead(bool on)
{
    m_handOn = on;
    m_server.link().SetHandOnAsRead(on);
}

void LinkChoice::Close()
{
    m_server.Close();
    m_udp.Close();
}

void LinkChoice::Send(const QByteArray& bytes)
{
    if (m_kind == Kind::TcpServer && !m_server.IsConnected()) {
        m_server.LogSocketState();
        return;
    }
    if (m_kind == Kind::Udp && !m_udp.IsOpen()) {
        m_log.AddLine(QStringLiteral("Connect State:Closed"));
        return;
    }
    const LinkResult sent = m_kind == Kind::Udp ? m_udp.Send(bytes) : m_server.Send(bytes);
    if (!sent.ok())
        m_log.AddLine(QStringLiteral("Nothing sent: ") + sent.description());
}

void LinkChoice::datagram(const QByteArray& bytes, const QHostAddress& from, quint16 port,
                          qint64 ms)
{
    // Every datagram names its sender in its tooltip; one that is not the controller's (answers
    // to a broadcast) shows it after the line too.
    LineMarks marks;
    marks.details = QStringLiteral("from ") + PeerName(from, port);
    if (!m_udp.IsController(from, port))
        marks.aside = marks.details;
    if (m_handOn)
        emit DatagramRead(bytes, ms, marks);
    else
        emit ReplyArrived(bytes, ms, false, marks);
}
