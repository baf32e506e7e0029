#include "links/Winsock.h"

#include <QHostAddress>
#include <QTimer>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <unistd.h>

namespace
{

int ErrorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return Winsock::sckConnectionRefused;
    case QAbstractSocket::SocketTimeoutError:
        return Winsock::sckTimedOut;
    case QAbstractSocket::HostNotFoundError:
        return Winsock::sckHostNotFound;
    case QAbstractSocket::NetworkError:
        return Winsock::sckNetworkUnreachable;
    case QAbstractSocket::RemoteHostClosedError:
        return Winsock::sckConnectionReset;
    case QAbstractSocket::SocketAddressNotAvailableError:
    case QAbstractSocket::UnsupportedSocketOperationError:
        return Winsock::sckInvalidArgument;
    default:
        return 10000 + int(error);
    }
}

} // namespace

Winsock::Winsock(QObject* parent) : QObject(parent)
{
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(20000);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        m_socket.abort();
        fail(Winsock::sckTimedOut, QStringLiteral("Connection timed out"));
    });
    connect(&m_socket, &QAbstractSocket::stateChanged, this,
            [this](QAbstractSocket::SocketState state) {
                if (state == QAbstractSocket::HostLookupState)
                    m_state = sckResolvingHost;
                else if (state == QAbstractSocket::ConnectingState)
                    m_state = sckConnecting;
            });
    connect(&m_socket, &QAbstractSocket::connected, this, [this] {
        m_connectTimer.stop();
        connectionUp();
        emit ConnectEvent();
    });
    connect(&m_socket, &QIODevice::readyRead, this, [this] {
        emit DataArrival(qint32(qMin<qint64>(m_socket.bytesAvailable(), INT32_MAX)));
    });
    connect(&m_socket, &QAbstractSocket::disconnected, this, [this] {
        // The peer closed: the bytes it sent stay readable, and the state stays "closing".
        peerClosed();
    });
    connect(&m_socket, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) {
                if (error == QAbstractSocket::RemoteHostClosedError && m_state >= sckConnected) {
                    peerClosed();
                    m_state = sckClosing;
                    return;
                }
                m_connectTimer.stop();
                fail(ErrorNumber(error), m_socket.errorString());
            });
}

Winsock::~Winsock()
{
    closeWatch();
    // The socket goes with this end: its last disconnect is no peer closing.
    m_state = sckClosed;
}

QString Winsock::RemoteHost() const
{
    return m_remoteHost;
}

void Winsock::SetRemoteHost(const QString& host)
{
    m_remoteHost = host;
}

qint64 Winsock::RemotePort() const
{
    return m_remotePort;
}

void Winsock::SetRemotePort(qint64 port)
{
    m_remotePort = port;
}

qint32 Winsock::LocalPort() const
{
    return m_localPort;
}

void Winsock::SetLocalPort(qint32 port)
{
    m_localPort = port;
}

int Winsock::State() const
{
    return m_state;
}

void Winsock::Connect()
{
    Close();
    if (m_remoteHost.isEmpty() || m_remotePort < 1 || m_remotePort > 65535) {
        const QString why =
            m_remoteHost.isEmpty()
                ? QStringLiteral("No host given")
                : QStringLiteral("Invalid port %1: a port is 1 to 65535").arg(m_remotePort);
        // Like every connect failure, this one arrives from the event loop.
        // A Close or a new Connect before then makes it stale.
        QTimer::singleShot(0, this, [this, why, attempt = m_attempt] {
            if (attempt == m_attempt)
                fail(sckInvalidArgument, why);
        });
        return;
    }
    m_state = QHostAddress(m_remoteHost).isNull() ? sckResolvingHost : sckConnecting;
    if (m_localPort != 0)
        m_socket.bind(QHostAddress::Any, quint16(m_localPort));
    m_connectTimer.start();
    m_socket.connectToHost(m_remoteHost, quint16(m_remotePort));
}

bool Winsock::Accept(qintptr descriptor)
{
    Close();
    if (!m_socket.setSocketDescriptor(descriptor)) {
        ::close(int(descriptor));
        return false;
    }
    connectionUp();
    // A controller that goes away without a word (its power cut) is noticed within a minute or
    // so, not after the system's two hours, and another caller may then take its place.
    const int fd = int(descriptor);
    const int on = 1, idle = 30, interval = 10, probes = 3;
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    m_remoteHost = m_socket.peerAddress().toString();
    m_remotePort = m_socket.peerPort();
    return true;
}

void Winsock::connectionUp()
{
    m_state = sckConnected;
    m_peerReset = false;
    m_watch = ::fcntl(int(m_socket.socketDescriptor()), F_DUPFD_CLOEXEC, 3);
    // Each read from the system takes what it holds for the socket, on the window's thread:
    // held to a megabyte, a peer that floods costs the window a few milliseconds a read.
    m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 1 << 20);
    // A command goes out when it is sent. Held back by the system while the last one is still
    // unacknowledged, as after a command the controller did not answer, it would wait for the
    // peer's delayed acknowledgement (some 40 ms), and a repeat every 10 ms would count the
    // replies of the commands held back as missing and hand them to a later send.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void Winsock::Close()
{
    // First, or the connection would outlive the socket's close.
    closeWatch();
    m_connectTimer.stop();
    // Closed before the socket says it is disconnected: this end closed it, not the peer.
    m_state = sckClosed;
    m_socket.abort();
    ++m_attempt;
}

bool Winsock::SendData(const QByteArray& bytes)
{
    if (m_state != sckConnected)
        return false;
    if (m_socket.write(bytes) != bytes.size())
        return false;
    // Handed to the system now, not when the event loop next hears the socket can take it: the
    // command leaves when it is sent, and a repeat's send costs the window one wake-up, not two.
    m_socket.flush();
    return true;
}

void Winsock::GetData(QByteArray& data, qint64 maxLen)
{
    if (!m_socket.isOpen() || maxLen <= 0)
        return;
    // Read straight into the caller's room: a burst of megabytes is not copied twice.
    const qsizetype at = data.size();
    data.resize(at + maxLen);
    data.truncate(at + qMax<qint64>(0, m_socket.read(data.data() + at, maxLen)));
}

qint32 Winsock::BytesReceived() const
{
    return m_socket.isOpen() ? qint32(qMin<qint64>(m_socket.bytesAvailable(), INT32_MAX)) : 0;
}

QString Winsock::ErrorString() const
{
    return m_socket.errorString();
}

void Winsock::closeWatch()
{
    if (m_watch >= 0)
        ::close(m_watch);
    m_watch = -1;
}

void Winsock::fail(int number, const QString& description)
{
    closeWatch();
    m_state = sckError;
    emit Error(number, description);
}

void Winsock::peerClosed()
{
    if (m_state != sckConnected)
        return;
    // An orderly close leaves the connection waiting for this end's close; a reset ends it.
    tcp_info info = {};
    socklen_t size = sizeof info;
    m_peerReset = ::getsockopt(m_watch, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 &&
                  info.tcpi_state == TCP_CLOSE;
    closeWatch();
    m_state = sckClosing;
    emit PeerClosed();
}
