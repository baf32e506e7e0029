#include "app/WindowLink.h"

#include "console/EventLog.h"
#include "console/TerminalController.h"
#include "console/frmMain.h"
#include "links/SerialLink.h"
#include "links/TcpLink.h"

#include <QTimer>

namespace
{

// How often to look again whether a reply has finished its settle wait.
constexpr int kIdlePollMs = 20;

} // namespace

WindowLink::WindowLink(frmMain& window, QObject* parent) : RunLink(parent), m_window(window)
{
    // A controller that calls is talked to as the client's peer is: its link is a TCP link too.
    TcpServerLink& server = window.controller().links().server();
    for (TcpLink* link : {&window.tcpLink(), &server.link()})
        watch(*link);
    connect(&window.serialLink(), &SerialLink::ReplyArrived, this,
            [this](const QByteArray& reply, qint64, bool continued) {
                ++m_handedOn;
                if (serial())
                    emit ReplyArrived(reply, continued);
            });
    connect(&window.serialLink(), &SerialLink::PortLost, this, [this](const QString& description) {
        if (serial())
            emit Failed(description);
    });
}

void WindowLink::watch(TcpLink& link)
{
    connect(&link, &TcpLink::ReplyArrived, this,
            [this, &link](const QByteArray& reply, qint64, bool continued) {
                ++m_handedOn;
                if (isChosen(link))
                    emit ReplyArrived(reply, continued);
            });
    connect(&link, &TcpLink::SocketError, this,
            [this, &link](int number, const QString& description) {
                if (isChosen(link))
                    emit Failed(QStringLiteral("Socket Error:%1 %2").arg(number).arg(description));
            });
    connect(&link, &TcpLink::PeerClosed, this, [this, &link] {
        if (isChosen(link))
            emit PeerClosed(link.Winsock1().PeerReset());
    });
}

TcpLink& WindowLink::tcp() const
{
    LinkChoice& links = m_window.controller().links();
    return links.kind() == LinkChoice::Kind::TcpServer ? links.server().link() : m_window.tcpLink();
}

int WindowLink::tcpState() const
{
    // A server with no peer is listening, as its "Connect State" says.
    LinkChoice& links = m_window.controller().links();
    return links.kind() == LinkChoice::Kind::TcpServer ? links.server().GetState()
                                                       : m_window.tcpLink().GetState();
}

bool WindowLink::isChosen(const TcpLink& link) const
{
    return !serial() && &link == &tcp();
}

bool WindowLink::serial() const
{
    return m_window.controller().transportMode() == TerminalController::kSerialMode;
}

void WindowLink::Open()
{
    QString why;
    const LinkChoice& links = m_window.controller().links();
    if (serial() && !m_window.serialLink().IsOpen())
        why = QStringLiteral("Nothing sent: port is not open");
    else if (!serial() && links.kind() == LinkChoice::Kind::Udp)
        why = QStringLiteral("not over UDP, where every datagram is a reply of its own");
    else if (!serial() && tcpState() != Winsock::sckConnected)
        why = QStringLiteral("Connect State:") + TcpLink::StateName(tcpState());
    // From the event loop, as a link that opens answers.
    QTimer::singleShot(0, this, [this, why] {
        if (why.isEmpty())
            emit Opened();
        else
            emit Failed(why);
    });
}

bool WindowLink::Send(const QByteArray& bytes)
{
    LinkResult sent = LinkResult::Success();
    if (serial()) {
        // A byte the frame's data bits cannot carry would arrive as another.
        const QString why = m_window.controller().frame().tooWide(bytes);
        sent = why.isEmpty() ? m_window.serialLink().Write(bytes) : LinkResult::Failure(why);
    } else if (tcpState() == Winsock::sckConnected) {
        sent = tcp().Send(bytes);
    } else if (&tcp() == &m_window.tcpLink()) {
        m_window.tcpLink().LogSocketState();
        return false;
    } else {
        m_window.controller().links().server().LogSocketState();
        return false;
    }
    if (!sent.ok())
        m_window.LB().AddLine(QStringLiteral("Nothing sent: ") + sent.description());
    return sent.ok();
}

bool WindowLink::gathering() const
{
    return serial() ? m_window.serialLink().Gathering() : tcp().Gathering();
}

void WindowLink::WhenIdle(const std::function<void()>& then)
{
    whenIdle(then, m_handedOn);
}

void WindowLink::whenIdle(const std::function<void()>& then, quint64 handedOn)
{
    // A peer that floods leaves no pause: a reply handed on will do.
    if (!gathering() || m_handedOn != handedOn) {
        then();
        return;
    }
    QTimer::singleShot(kIdlePollMs, this, [this, then, handedOn] { whenIdle(then, handedOn); });
}

void WindowLink::SetHandOnAsRead(bool on)
{
    // Connected anew as a run starts to hand on, so that the window's own reader of a link hears
    // a read first: a run that ends on a read has taken it, and the window reads from the next.
    for (const QMetaObject::Connection& read : std::exchange(m_reads, {}))
        disconnect(read);
    if (on) {
        // Only the chosen link's traffic is the run's.
        m_reads << connect(&m_window.serialLink(), &SerialLink::BytesRead, this,
                           [this](const QByteArray& bytes) {
                               if (serial())
                                   emit BytesRead(bytes);
                           });
        TcpLink* link = &tcp();
        m_reads << connect(link, &TcpLink::BytesRead, this, [this, link](const QByteArray& bytes) {
            if (isChosen(*link))
                emit BytesRead(bytes);
        });
    }
    // Both, so that a change of transport meanwhile leaves neither handing on.
    m_window.serialLink().SetHandOnAsRead(on && serial());
    for (TcpLink* link : {&m_window.tcpLink(), &m_window.controller().links().server().link()})
        link->SetHandOnAsRead(on && isChosen(*link));
}

bool WindowLink::Sending() const
{
    return serial() && m_window.serialLink().MSComm1().OutBufferCount() > 0;
}
