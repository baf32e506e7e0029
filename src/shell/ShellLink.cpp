#include "shell/ShellLink.h"

#include "shell/ShellOptions.h"
#include "shell/ShellOutput.h"

#include "links/PeerName.h"

#include <QTimer>

namespace
{

// How often to look again whether a reply has finished its settle wait.
constexpr int kIdlePollMs = 20;

} // namespace

ShellLink::ShellLink(const ShellOptions& options, ShellOutput& output, QObject* parent)
    : RunLink(parent), m_options(options), m_output(output)
{
    m_serial.SetLongestRead(kLineBytes);
    m_tcp.SetLongestRead(kLineBytes);
    connect(&m_serial, &SerialLink::ReplyArrived, this,
            [this](const QByteArray& reply, qint64, bool continued) {
                ++m_handedOn;
                emit ReplyArrived(reply, continued);
            });
    connect(&m_tcp, &TcpLink::ReplyArrived, this,
            [this](const QByteArray& reply, qint64, bool continued) {
                ++m_handedOn;
                emit ReplyArrived(reply, continued);
            });
    connect(&m_serial, &SerialLink::BytesRead, this, &ShellLink::BytesRead);
    connect(&m_tcp, &TcpLink::BytesRead, this, &ShellLink::BytesRead);
    connect(&m_tcp, &TcpLink::Connected, this, &ShellLink::Opened);
    m_server.SetLongestRead(kLineBytes);
    connect(&m_server, &TcpServerLink::ReplyArrived, this,
            [this](const QByteArray& reply, qint64, bool continued) {
                ++m_handedOn;
                emit ReplyArrived(reply, continued);
            });
    connect(&m_server, &TcpServerLink::Connected, this, [this] {
        m_acceptWait.stop();
        if (!std::exchange(m_opened, true))
            emit Opened();
    });
    connect(&m_server, &TcpServerLink::PeerClosed, this,
            [this] { emit PeerClosed(m_server.link().Winsock1().PeerReset()); });
    connect(&m_server, &TcpServerLink::SocketError, this,
            [this](int number, const QString& description) {
                m_output.Error(QStringLiteral("Socket Error:") + QString::number(number) +
                               QLatin1Char(' ') + description);
            });
    m_acceptWait.setSingleShot(true);
    connect(&m_acceptWait, &QTimer::timeout, this, [this] {
        emit Failed(QStringLiteral("Nobody connected within %1 ms").arg(m_options.acceptWaitMs), 1);
    });
    connect(&m_udp, &UdpLink::DatagramArrived, this,
            [this](const QByteArray& datagram, const QHostAddress& from, quint16 port) {
                ++m_handedOn;
                m_sender = m_udp.IsController(from, port) ? QString() : PeerName(from, port);
                emit ReplyArrived(datagram, false);
            });
    connect(&m_tcp, &TcpLink::PeerClosed, this,
            [this] { emit PeerClosed(m_tcp.Winsock1().PeerReset()); });
    connect(&m_serial, &SerialLink::PortLost, this,
            [this](const QString& description) { emit Failed(description); });
    connect(&m_tcp, &TcpLink::SocketError, this, [this](int number, const QString& description) {
        // The window's line for a socket error.
        emit Failed(QStringLiteral("Socket Error:") + QString::number(number) + QLatin1Char(' ') +
                    description);
    });
}

void ShellLink::Open()
{
    if (!m_options.host.isEmpty() && m_options.net != ShellOptions::Net::TcpClient) {
        const bool udp = m_options.net == ShellOptions::Net::Udp;
        const LinkResult opened =
            udp ? m_udp.Open(m_options.host, m_options.tcpPort, m_options.localPort)
                : m_server.Listen(m_options.host, m_options.tcpPort);
        if (!opened.ok())
            emit Failed(opened.description());
        else if (udp)
            emit Opened();
        else if (m_options.acceptWaitMs >= 0)
            m_acceptWait.start(m_options.acceptWaitMs);
        return;
    }
    if (!m_options.host.isEmpty()) {
        m_tcp.ConnectTo(m_options.host, m_options.tcpPort);
        return;
    }
    LinkResult result = m_serial.ApplySettings(m_options.baud, m_options.frame);
    if (result.ok())
        result = m_options.serialPort != 0 ? m_serial.OpenPort(m_options.serialPort)
                                           : m_serial.OpenDevice(m_options.serialDevice);
    if (result.ok())
        emit Opened();
    else
        emit Failed(result.description());
}

bool ShellLink::Send(const QByteArray& bytes)
{
    LinkResult result = LinkResult::Success();
    if (m_options.host.isEmpty()) {
        if (const QString why = m_options.frame.tooWide(bytes); !why.isEmpty()) {
            m_output.Error(QStringLiteral("Nothing sent: ") + why);
            return false;
        }
        result = m_serial.Write(bytes);
    } else if (m_options.net == ShellOptions::Net::Udp) {
        result = m_udp.Send(bytes);
    } else if (m_options.net == ShellOptions::Net::TcpServer) {
        if (!m_server.IsConnected()) {
            m_server.LogSocketState();
            return false;
        }
        result = m_server.Send(bytes);
    } else if (m_tcp.GetState() == Winsock::sckConnected) {
        result = m_tcp.Send(bytes);
    } else {
        m_tcp.LogSocketState();
        return false;
    }
    if (!result.ok())
        m_output.Error(QStringLiteral("Nothing sent: ") + result.description());
    return result.ok();
}

void ShellLink::Close()
{
    m_tcp.Disconnect();
    m_server.Close();
    m_udp.Close();
    m_acceptWait.stop();
    m_serial.ClosePort();
}

void ShellLink::WhenIdle(const std::function<void()>& then)
{
    whenIdle(then, m_handedOn);
}

void ShellLink::whenIdle(const std::function<void()>& then, quint64 handedOn)
{
    if (!gathering() || m_handedOn != handedOn) {
        then();
        return;
    }
    QTimer::singleShot(kIdlePollMs, this, [this, then, handedOn] { whenIdle(then, handedOn); });
}

void ShellLink::SetHandOnAsRead(bool on)
{
    m_serial.SetHandOnAsRead(on);
    m_tcp.SetHandOnAsRead(on);
}

bool ShellLink::Sending() const
{
    return m_options.host.isEmpty() && m_serial.MSComm1().OutBufferCount() > 0;
}

void ShellLink::AddLine(const QString& text)
{
    m_output.Error(text);
}

bool ShellLink::gathering() const
{
    return m_serial.Gathering() || m_tcp.Gathering() || m_server.Gathering();
}
