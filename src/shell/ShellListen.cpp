#include "shell/ShellListen.h"

#include "shell/ShellFrames.h"
#include "shell/ShellLink.h"
#include "shell/ShellOptions.h"
#include "shell/ShellOutput.h"
#include "terminal/TrafficLines.h"

ShellListen::ShellListen(const ShellOptions& options, ShellLink& link, ShellOutput& output,
                         QObject* parent)
    : QObject(parent), m_options(options), m_link(link), m_output(output),
      m_trace(QStringLiteral("accessterm " ACCESSTERM_VERSION))
{
    m_for.setSingleShot(true);
    connect(&m_for, &QTimer::timeout, this, [this] { Stop(); });
    connect(&m_link, &ShellLink::Opened, this, [this] {
        if (m_options.forMs >= 0 && m_options.net != ShellOptions::Net::TcpServer)
            m_for.start(m_options.forMs);
    });
    if (!options.protocol.isEmpty()) {
        // A tap hears both ways: which way each frame went is the protocol's to say.
        m_frames = new ShellFrames(options.description, Direction::Unknown, output, options.hex,
                                   true, this);
        m_frames->reader().SetLongestPiece(ShellLink::kLineBytes);
        connect(&m_link, &ShellLink::BytesRead, m_frames, &ShellFrames::Feed);
        // A trace holds one record a packet: with a protocol, a piece as it is cut.
        connect(m_frames, &ShellFrames::PieceRead, this,
                [this](const ReadPiece& piece) { trace(piece.bytes); });
    }
    connect(
        &m_link, &ShellLink::ReplyArrived, this, [this](const QByteArray& reply, bool continued) {
            if (m_finished)
                return;
            if (m_frames) { // a datagram, or a reply that was settling
                m_frames->Feed(reply);
                return;
            }
            m_output.Reply(ShellOutput::LocalTime() + (continued ? kContinuedMarker : kInputMarker),
                           reply, m_options.hex, FromSender(m_link.Sender()));
            trace(reply);
        });
    connect(&m_link, &ShellLink::PeerClosed, this, [this](bool reset) {
        // Listening for the controller goes on: it calls again.
        if (m_options.net == ShellOptions::Net::TcpServer)
            return;
        if (!reset) {
            Stop();
            return;
        }
        m_output.Error(QStringLiteral("Connection reset by the peer"));
        m_link.WhenIdle([this] { finish(2); });
    });
    connect(&m_link, &ShellLink::Failed, this, [this](const QString& reason, int status) {
        m_output.Error(reason);
        m_link.WhenIdle([this, status] { finish(status); });
    });
    connect(&m_output, &ShellOutput::Broken, this, &ShellListen::finish);
}

void ShellListen::Start()
{
    if (!m_options.trace.isEmpty() && !m_trace.Open(m_options.trace)) {
        m_output.Error(m_options.trace + QStringLiteral(" not written: ") + m_trace.errorString());
        return finish(2);
    }
    // Listening, the time runs from the start, whether anyone calls or not.
    if (m_options.net == ShellOptions::Net::TcpServer && m_options.forMs >= 0)
        m_for.start(m_options.forMs);
    m_link.SetHandOnAsRead(m_frames != nullptr);
    m_link.Open();
}

void ShellListen::trace(const QByteArray& bytes)
{
    // Heard, not sent nor received by a party: the format's "trace".
    if (!m_trace.isOpen() || m_trace.Write(SessionStream::Trace, bytes))
        return;
    m_output.Error(m_options.trace + QStringLiteral(" not written: ") + m_trace.errorString());
    finish(2);
}

void ShellListen::Stop(int)
{
    m_link.WhenIdle([this] { finish(0); });
}

void ShellListen::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    m_for.stop();
    // What waits to be cut is printed before the link goes.
    if (m_frames)
        m_frames->Flush();
    m_link.Close();
    emit Finished(status);
}
