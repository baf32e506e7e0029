#include "links/TcpLink.h"

#include "links/EventTurn.h"
#include "links/SettleDelay.h"

#include <QTimer>

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

bool TcpLink::Adopt(qintptr descriptor)
{
    ++m_connection;
    m_sinceWrite.invalidate();
    m_sinceFullRead.invalidate();
    return m_socket.Accept(descriptor);
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

void TcpLink::SetHandOnAsRead(bool on)
{
    m_handOn = on;
    roundLater();
}

int TcpLink::GetState() const
{
    return m_socket.State();
}

LinkResult TcpLink::Send(const QByteArray& bytes, bool timed)
{
    if (!m_socket.SendData(bytes))
        return LinkResult::Failure(QStringLiteral("The connection did not take the command: ") +
                                   m_socket.ErrorString());
    if (timed)
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
    case Winsock::sckClosed:
        return QStringLiteral("Closed");
    case Winsock::sckOpen:
        return QStringLiteral("Open");
    case Winsock::sckListening:
        return QStringLiteral("Listening....");
    case Winsock::sckConnectionPending:
        return QStringLiteral("Connection Pending");
    case Winsock::sckResolvingHost:
        return QStringLiteral("ResolvingHost");
    case Winsock::sckHostResolved:
        return QStringLiteral("HostResolved");
    case Winsock::sckConnecting:
        return QStringLiteral("Connectin");
    case Winsock::sckConnected:
        return QStringLiteral("Connected");
    case Winsock::sckClosing:
        return QString::fromUtf8("\u9019\u53f0\u96fb\u8166\u6b63\u5728\u95dc\u9589\u9023\u7dda");
    case Winsock::sckError:
        return QStringLiteral("Error");
    default:
        return QString();
    }
}

void TcpLink::Winsock1_DataArrival(qint32)
{
    // A burst being gathered takes these bytes, or the round after it does.
    if (m_gathering || m_handingOn)
        return;
    if (m_handOn) {
        handOn();
        return;
    }
    // Timed at the first piece; then let the rest of the burst come in, and take everything
    // received so far, on the connection the wait began on. What a connection made meanwhile has
    // already sent gets a wait of its own here.
    m_gathering = true;
    qint64 answerMs = -1;
    // Bytes that come within a settle wait of a read that took a whole piece are the same burst.
    const bool continued = m_sinceFullRead.isValid() && m_sinceFullRead.elapsed() <= 300;
    QByteArray reply;
    for (;;) {
        const quint64 connection = m_connection;
        answerMs = m_sinceWrite.isValid() && !continued ? m_sinceWrite.elapsed() : -1;
        SettleDelay(300);
        if (connection == m_connection) {
            reply = takeBurst(connection);
            if (connection == m_connection)
                break;
        }
        if (m_socket.BytesReceived() == 0) {
            m_gathering = false;
            return;
        }
    }
    const quint64 connection = m_connection;
    if (!reply.isEmpty())
        emit ReplyArrived(reply, answerMs, continued);
    // Timed from the hand-over: a reply that takes long to show does not end the burst.
    if (connection == m_connection && m_longestRead > 0 && reply.size() >= m_longestRead)
        m_sinceFullRead.start();
    else
        m_sinceFullRead.invalidate();
    m_gathering = false;
    // The socket announces nothing it took in while this ran: what it holds gets a round now.
    roundLater();
}

void TcpLink::handOn()
{
    m_handingOn = true;
    m_sinceFullRead.invalidate();
    const qint64 sinceWrite = m_sinceWrite.isValid() ? m_sinceWrite.elapsed() : -1;
    QByteArray read;
    const qint64 size = m_socket.BytesReceived();
    m_socket.GetData(read, m_longestRead > 0 ? qMin(size, m_longestRead) : size);
    if (!read.isEmpty())
        emit BytesRead(read, sinceWrite);
    m_handingOn = false;
    roundLater();
}

void TcpLink::roundLater()
{
    if (m_socket.BytesReceived() == 0)
        return;
    QTimer::singleShot(0, this, [this] {
        if (m_socket.BytesReceived() > 0)
            Winsock1_DataArrival(0);
    });
}

QByteArray TcpLink::takeBurst(quint64 connection)
{
    // A slice at a time, the window's events handled between: a burst of megabytes costs the
    // window no more than one slice. A burst that a new connection interrupts is dropped with the
    // old connection.
    constexpr qint64 kSliceBytes = qint64(1) << 20;
    qint64 size = m_socket.BytesReceived();
    if (m_longestRead > 0)
        size = qMin(size, m_longestRead);
    QByteArray burst;
    burst.reserve(size);
    while (burst.size() < size) {
        if (!burst.isEmpty()) {
            EventTurn();
            if (connection != m_connection)
                return {};
        }
        const qsizetype before = burst.size();
        m_socket.GetData(burst, qMin(kSliceBytes, size - before));
        if (burst.size() == before)
            break;
    }
    return burst;
}
