#include "links/TcpServerLink.h"

TcpServerLink::TcpServerLink(LineSink& log, QObject* parent)
    : QObject(parent), m_log(log), m_listener(log), m_link(log)
{
    connect(&m_listener, &TcpListener::Taken, this, &TcpServerLink::taken);
    connect(&m_link, &TcpLink::ReplyArrived, this, &TcpServerLink::ReplyArrived);
    connect(&m_link, &TcpLink::PeerClosed, this, [this] {
        m_listener.PeerGone(true);
        emit PeerClosed();
    });
    connect(&m_link, &TcpLink::SocketError, this, [this](int number, const QString& description) {
        // The connection is gone; the next caller is taken.
        m_listener.PeerGone(false);
        emit SocketError(number, description);
    });
}

LinkResult TcpServerLink::Listen(const QString& host, qint64 port)
{
    Close();
    const LinkResult listening = m_listener.Listen(host, port);
    if (!listening.ok())
        return listening;
    const QString address = m_listener.Address();
    m_log.AddLine(QStringLiteral("Listening on ") + address +
                  (address.startsWith(QLatin1String("0.0.0.0:"))
                       ? QStringLiteral(" (") + m_listener.OwnAddresses() + QLatin1Char(')')
                       : QString()));
    return listening;
}

void TcpServerLink::Close()
{
    m_listener.Close();
    m_listener.PeerGone(false);
    m_link.Disconnect();
}

int TcpServerLink::GetState() const
{
    if (!IsConnected() && m_listener.IsListening())
        return Winsock::sckListening;
    return m_link.GetState();
}

LinkResult TcpServerLink::Send(const QByteArray& bytes, bool timed)
{
    return m_link.Send(bytes, timed);
}

void TcpServerLink::LogSocketState()
{
    m_log.AddLine(QStringLiteral("Connect State:") + TcpLink::StateName(GetState()));
}

void TcpServerLink::taken(qintptr descriptor)
{
    if (!m_link.Adopt(descriptor)) {
        m_listener.PeerGone(false);
        m_log.AddLine(QStringLiteral("Cannot take the connection: ") +
                      m_link.Winsock1().ErrorString());
        return;
    }
    emit Connected();
}
