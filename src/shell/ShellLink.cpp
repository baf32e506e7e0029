#include "shell/ShellLink.h"

#include "shell/ShellOptions.h"
#include "terminal/TrafficLines.h"

#include <QTimer>

#include <cstdio>

namespace
{

// How often to look again whether a reply has finished its settle wait.
constexpr int kIdlePollMs = 20;

void Print(std::FILE* stream, const QString& line)
{
    QByteArray bytes = line.toUtf8();
    bytes += '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

} // namespace

ShellLink::ShellLink(const ShellOptions& options, QObject* parent)
    : QObject(parent), m_options(options)
{
    connect(&m_serial, &SerialLink::ReplyArrived, this, &ShellLink::ReplyArrived);
    connect(&m_tcp, &TcpLink::ReplyArrived, this, &ShellLink::ReplyArrived);
    connect(&m_tcp, &TcpLink::Connected, this, &ShellLink::Opened);
    connect(&m_tcp, &TcpLink::PeerClosed, this, &ShellLink::PeerClosed);
    connect(&m_serial, &SerialLink::PortLost, this, &ShellLink::Failed);
    connect(&m_tcp, &TcpLink::SocketError, this, [this](int number, const QString& description) {
        // The window's line for a socket error.
        emit Failed(QStringLiteral("Socket Error:") + QString::number(number) + QLatin1Char(' ') +
                    description);
    });
}

void ShellLink::Open()
{
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
            PrintError(QStringLiteral("Nothing sent: ") + why);
            return false;
        }
        result = m_serial.Write(bytes);
    } else if (m_tcp.GetState() == Winsock::sckConnected) {
        result = m_tcp.Send(bytes);
    } else {
        m_tcp.LogSocketState();
        return false;
    }
    if (!result.ok())
        PrintError(QStringLiteral("Nothing sent: ") + result.description());
    return result.ok();
}

void ShellLink::Close()
{
    m_tcp.Disconnect();
    m_serial.ClosePort();
}

void ShellLink::WhenIdle(const std::function<void()>& then)
{
    if (!gathering()) {
        then();
        return;
    }
    QTimer::singleShot(kIdlePollMs, this, [this, then] { WhenIdle(then); });
}

void ShellLink::AddLine(const QString& text)
{
    PrintError(text);
}

bool ShellLink::gathering() const
{
    return m_serial.Gathering() || m_tcp.Gathering();
}

void PrintOut(const QString& line)
{
    Print(stdout, line);
}

void PrintError(const QString& line)
{
    Print(stderr, line);
}

QString ReplyLine(const QByteArray& reply, bool hex)
{
    if (!hex)
        return InputLine(reply);
    return kInputMarker + QString::fromLatin1(reply.toHex(' ').toUpper());
}
