#include "links/TcpLink.h"

#include "links/SettleDelay.h"

TcpLink::TcpLink(LineSink& log, QObject* parent) : QObject(parent), m_log(log)
{
    connect(&m_socket, &Winsock::ConnectEvent, this, &TcpLink::Connected);
    connect(&m_socket, &Winsock::DataArrival, this, &TcpLink::Winsock1_DataArrival);
    connect(&m_socket, &Winsock::Error, this, &TcpLink::SocketError);
    connect(&m_socket, &Winsock::PeerClosed, this, &TcpLink::PeerClosed);
}

void TcpLink::ConnectTo(const QString& host, qint64 port)
{
    ++m_connection;
    m_socket.Close();
    m_sinceWrite.invalidate();
    m_sinceFullRead.invalidate();
    m_socket.SetLocalPort(0);
    m_socket.SetRemoteHost(host);
    m_socket.SetRemotePort(port);
    m_socket.Connect();
}

void TcpLink::Disconnect()
{
    ++m_connection;
    m_socket.Close();
    m_sinceWrite.invalidate();
    m_sinceFullRead.invalidate();
}

void TcpLink::SetLongestRead(qint64 bytes)
{
    m_longestRead = bytes;
    m_socket.SetReadBufferSize(bytes);
}

int TcpLink::GetState() const
{
    return m_socket.State();
}

LinkResult TcpLink::Send(const QByteArray& bytes)
{
    if (!m_socket.SendData(bytes))
        return LinkResult::Failure(QStringLiteral("The connection did not take the command: ") +
                                   m_socket.ErrorString());
    m_sinceWrite.start();
    return LinkResult::Success();
}

void TcpLink::LogSocketState()
{
    m_log.AddLine(QStringLiteral("Connect State:") + StateName(GetState()));
}

QString TcpLink::StateName(int state)
{
    switch (state) {
    case 0:
        return QStringLiteral("Closed");
    case 1:
        return QStringLiteral("Open");
    case 2:
        return QStringLiteral("Listening....");
    case 3:
        return QStringLiteral("Connection Pending");
    case 4:
        return QStringLiteral("ResolvingHost");
    case 5:
        return QStringLiteral("HostResolved");
    case 6:
        return QStringLiteral("Connectin");
    case 7:
        return QStringLiteral("Connected");
    case 8:
        return QString::fromUtf8("\u9019\u53f0\u96fb\u8166\u6b63\u5728\u95dc\u9589\u9023\u7dda");
    case 9:
        return QStringLiteral("Error");
    default:
        return QString();
    }
}

void TcpLink::Winsock1_DataArrival(qint32)
{
    // Timed at the first piece; then let the rest of the burst come in, and take everything
    // received so far in one read, on the connection the wait began on. The socket announces
    // nothing more while this runs, so what a connection made meanwhile has already sent gets a
    // wait of its own here.
    m_gathering = true;
    qint64 answerMs = -1;
    // Bytes that come within a settle wait of a read that took a whole piece are the same burst.
    const bool continued = m_sinceFullRead.isValid() && m_sinceFullRead.elapsed() <= 300;
    for (;;) {
        const quint64 connection = m_connection;
        answerMs = m_sinceWrite.isValid() && !continued ? m_sinceWrite.elapsed() : -1;
        SettleDelay(300);
        if (connection == m_connection)
            break;
        if (m_socket.BytesReceived() == 0) {
            m_gathering = false;
            return;
        }
    }
    QByteArray reply;
    m_socket.GetData(reply);
    m_gathering = false;
    if (m_longestRead > 0 && reply.size() >= m_longestRead)
        m_sinceFullRead.start();
    else
        m_sinceFullRead.invalidate();
    if (!reply.isEmpty())
        emit ReplyArrived(reply, answerMs, continued);
}
