#include "links/TcpListener.h"

#include "links/PeerName.h"

#include <QNetworkInterface>
#include <QTcpServer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// Hands each connection on as it comes, before anything reads from it.
class TcpListener::Server : public QTcpServer
{
public:
    explicit Server(TcpListener& owner) : m_owner(owner) {}

protected:
    void incomingConnection(qintptr descriptor) override { m_owner.incoming(descriptor); }

private:
    TcpListener& m_owner;
};

TcpListener::TcpListener(LineSink& log, QObject* parent)
    : QObject(parent), m_log(log), m_server(std::make_unique<Server>(*this))
{
}

TcpListener::~TcpListener() = default;

LinkResult TcpListener::Listen(const QString& host, qint64 port)
{
    Close();
    const QString given = host.trimmed();
    QHostAddress address(QHostAddress::AnyIPv4);
    const bool named = given.isEmpty() || address.setAddress(given);
    const QString where = (given.isEmpty() ? QStringLiteral("0.0.0.0") : given) + QLatin1Char(':') +
                          QString::number(port);
    const auto refuse = [&where](const QString& why) {
        return LinkResult::Failure(QStringLiteral("Cannot listen on ") + where +
                                   QStringLiteral(": ") + why);
    };
    if (!named)
        return refuse(QStringLiteral("not an address of this machine, such as 0.0.0.0"));
    if (port < 0 || port > 65535)
        return refuse(QStringLiteral("a port is 0 to 65535"));
    if (!m_server->listen(address, quint16(port)))
        return refuse(m_server->errorString());
    return LinkResult::Success();
}

void TcpListener::Close()
{
    m_server->close();
}

bool TcpListener::IsListening() const
{
    return m_server->isListening();
}

QString TcpListener::Address() const
{
    return PeerName(m_server->serverAddress(), m_server->serverPort());
}

quint16 TcpListener::Port() const
{
    return m_server->serverPort();
}

QString TcpListener::OwnAddresses() const
{
    QStringList own;
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            own << address.toString();
    }
    return own.isEmpty() ? QStringLiteral("no address but 127.0.0.1")
                         : own.join(QStringLiteral(", "));
}

void TcpListener::PeerGone(bool logged)
{
    if (logged && !m_peer.isEmpty())
        m_log.AddLine(QStringLiteral("Closed ") + m_peer);
    m_peer.clear();
    m_peerAddress.clear();
}

void TcpListener::incoming(qintptr descriptor)
{
    sockaddr_storage from{};
    socklen_t size = sizeof from;
    QHostAddress address;
    quint16 port = 0;
    if (::getpeername(int(descriptor), reinterpret_cast<sockaddr*>(&from), &size) == 0) {
        address.setAddress(reinterpret_cast<const sockaddr*>(&from));
        port = ntohs(from.ss_family == AF_INET6
                         ? reinterpret_cast<const sockaddr_in6*>(&from)->sin6_port
                         : reinterpret_cast<const sockaddr_in*>(&from)->sin_port);
    }
    address = PlainAddress(address);
    const QString name = PeerName(address, port);
    if (!m_peer.isEmpty() && address != m_peerAddress) {
        m_log.AddLine(QStringLiteral("Refused ") + name + QStringLiteral(": busy"));
        ::close(int(descriptor));
        return;
    }
    if (!m_peer.isEmpty())
        m_log.AddLine(QStringLiteral("Dropped ") + m_peer +
                      QStringLiteral(": its address connected again"));
    m_peer = name;
    m_peerAddress = address;
    m_log.AddLine(QStringLiteral("Connected ") + name);
    emit Taken(descriptor);
}
