#include "links/UdpLink.h"

#include "links/PeerName.h"

#include <QNetworkDatagram>
#include <QVariant>

namespace
{

// Datagrams read in one go before the window's events get a turn: a sender that floods costs
// the window no more than these at a time.
constexpr int kDatagramsATurn = 64;

} // namespace

UdpLink::UdpLink(LineSink& log, QObject* parent) : QObject(parent), m_log(log)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &UdpLink::readDatagrams);
}

LinkResult UdpLink::Open(const QString& host, qint64 port, qint64 localPort)
{
    Close();
    const QString where = host.trimmed() + QLatin1Char(':') + QString::number(port);
    QHostAddress controller;
    if (!controller.setAddress(host.trimmed()))
        return LinkResult::Failure(QStringLiteral("UDP to ") + where +
                                   QStringLiteral(": the controller's address is wanted, such "
                                                  "as 192.168.1.20"));
    if (port < 1 || port > 65535)
        return LinkResult::Failure(QStringLiteral("UDP to ") + where +
                                   QStringLiteral(": a port is 1 to 65535"));
    const bool v6 = controller.protocol() == QAbstractSocket::IPv6Protocol;
    const LinkResult bound = bind(v6 ? QHostAddress::AnyIPv6 : QHostAddress::AnyIPv4, localPort,
                                  QStringLiteral("UDP port ") + QString::number(localPort));
    if (!bound.ok())
        return bound;
    m_controller = controller;
    m_controllerPort = quint16(port);
    m_log.AddLine(QStringLiteral("UDP on local port %1, to ").arg(m_socket.localPort()) +
                  ControllerName());
    return bound;
}

LinkResult UdpLink::Bind(const QString& host, qint64 port)
{
    Close();
    QHostAddress local;
    const QString where = host + QLatin1Char(':') + QString::number(port);
    if (!local.setAddress(host))
        return LinkResult::Failure(QStringLiteral("Cannot use UDP ") + where +
                                   QStringLiteral(": not an address of this machine"));
    return bind(local, port, QStringLiteral("UDP ") + where);
}

LinkResult UdpLink::bind(const QHostAddress& local, qint64 port, const QString& what)
{
    if (port < 0 || port > 65535)
        return LinkResult::Failure(QStringLiteral("Cannot use ") + what +
                                   QStringLiteral(": a port is 0 to 65535"));
    if (!m_socket.bind(local, quint16(port)))
        return LinkResult::Failure(QStringLiteral("Cannot use ") + what + QStringLiteral(": ") +
                                   m_socket.errorString());
    // Seconds of a controller's events wait for a window that is busy, as far as the system
    // allows (net.core.rmem_max); what does not fit is dropped by the system.
    m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4 << 20);
    m_read = 0;
    return LinkResult::Success();
}

void UdpLink::Close()
{
    m_socket.close();
    m_controller.clear();
    m_controllerPort = 0;
    m_sinceWrite.invalidate();
}

LinkResult UdpLink::Send(const QByteArray& bytes, bool timed)
{
    return SendTo(bytes, m_controller, m_controllerPort, timed);
}

LinkResult UdpLink::SendTo(const QByteArray& bytes, const QHostAddress& to, quint16 port,
                           bool timed)
{
    if (bytes.size() > kLongestDatagram)
        return LinkResult::Failure(
            QStringLiteral("a datagram holds at most 65,507 bytes, the command has %1")
                .arg(bytes.size()));
    if (!IsOpen() || to.isNull())
        return LinkResult::Failure(QStringLiteral("the UDP link is not open"));
    if (m_socket.writeDatagram(bytes, to, port) != bytes.size())
        return LinkResult::Failure(m_socket.errorString());
    if (timed)
        m_sinceWrite.start();
    return LinkResult::Success();
}

bool UdpLink::IsController(const QHostAddress& from, quint16 port) const
{
    return port == m_controllerPort && PlainAddress(from) == PlainAddress(m_controller);
}

QString UdpLink::ControllerName() const
{
    return PeerName(m_controller, m_controllerPort);
}

void UdpLink::readDatagrams()
{
    // Only here, as the socket announces them: a read at another time can take what an
    // announcement was made for and leave the socket waiting for a read that never comes. What
    // is left unread is announced again once the window's events have had their turn.
    for (int n = 0; n < kDatagramsATurn && IsOpen() && m_socket.hasPendingDatagrams(); ++n) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        if (!datagram.isValid())
            break;
        ++m_read;
        emit DatagramArrived(datagram.data(), PlainAddress(datagram.senderAddress()),
                             quint16(datagram.senderPort()),
                             m_sinceWrite.isValid() ? m_sinceWrite.elapsed() : -1);
    }
}
