#include "shell/ShellSendFrames.h"

#include "shell/ShellLink.h"
#include "shell/ShellOptions.h"
#include "shell/ShellOutput.h"
#include "terminal/TrafficLines.h"

ShellSendFrames::ShellSendFrames(const ShellOptions& options, ShellLink& link, ShellOutput& output,
                                 QObject* parent)
    : QObject(parent), m_options(options), m_link(link), m_output(output),
      m_frames(options.description, Direction::Reply, output, options.hex, false)
{
    m_frames.reader().SetLongestPiece(ShellLink::kLineBytes);
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &ShellSendFrames::waitOver);
    connect(&m_link, &ShellLink::Opened, this, &ShellSendFrames::sendNext);
    connect(&m_link, &ShellLink::BytesRead, &m_frames, &ShellFrames::Feed);
    // A datagram comes whole, as a reply does.
    connect(&m_link, &ShellLink::ReplyArrived, &m_frames, &ShellFrames::Feed);
    connect(&m_frames, &ShellFrames::PieceRead, this, &ShellSendFrames::pieceRead);
    connect(&m_link, &ShellLink::PeerClosed, this, &ShellSendFrames::peerClosed);
    connect(&m_link, &ShellLink::Failed, this, [this](const QString& reason, int status) {
        m_output.Error(reason);
        finish(status);
    });
    connect(&m_output, &ShellOutput::Broken, this, &ShellSendFrames::finish);
}

void ShellSendFrames::Start()
{
    // A command refused is a mistake in the script: nothing goes out. The sequence numbers
    // given here are tried only; the link's own are given as each command goes.
    const std::shared_ptr<const Description> protocol = m_frames.reader().shared();
    ProtocolSession tried(protocol);
    for (int n = 0; n < m_options.commands.size(); ++n) {
        const CommandBytes typed = EncodeForSending(TrimBlanks(m_options.commands.at(n)));
        QString refusal = typed.refusal;
        if (typed.ok()) {
            const Composed composed = ComposeCommand(
                *protocol, tried, {typed.bytes.constData(), std::size_t(typed.bytes.size())});
            refusal = !composed.ok() ? QStringLiteral("Nothing sent: ") +
                                           QString::fromStdString(composed.refusal)
                      : m_options.host.isEmpty()
                          ? m_options.frame.tooWide(QByteArray::fromStdString(composed.bytes))
                          : QString();
            if (!refusal.isEmpty() && !refusal.startsWith(QStringLiteral("Nothing sent: ")))
                refusal.prepend(QStringLiteral("Nothing sent: "));
        }
        if (!refusal.isEmpty()) {
            m_output.Error(QStringLiteral("Command %1: ").arg(n + 1) + refusal);
            finish(2);
            return;
        }
        m_typed.append(typed.bytes);
    }
    // The options were read with these patterns already compiled once.
    for (const QString& text : m_options.expect) {
        QString why;
        m_patterns.append(*Pattern::Compile(text, why));
    }
    m_link.SetHandOnAsRead(true);
    m_link.Open();
}

void ShellSendFrames::Stop(int signalNumber)
{
    m_stopping = true;
    finish(128 + signalNumber);
}

void ShellSendFrames::sendNext()
{
    if (m_finished || m_stopping)
        return;
    if (m_next == m_typed.size()) {
        finish(m_status);
        return;
    }
    const Composed command = m_frames.reader().Compose(m_typed.at(m_next));
    const QByteArray bytes = QByteArray::fromStdString(command.bytes);
    if (!m_frames.PrintSent(bytes))
        return;
    if (!m_link.Send(bytes)) {
        finish(2);
        return;
    }
    m_awaiting = true;
    m_extended = false;
    m_wait.start(m_options.waitMs);
}

void ShellSendFrames::pieceRead(const ReadPiece& piece)
{
    // A command heard back (a two-wire line's echo) answers nothing.
    if (m_finished || !piece.isFrame() || piece.message.direction == Direction::Command)
        return;
    const int command = qMin(m_next, int(m_typed.size()) - 1);
    if (piece.failed()) {
        m_output.Error(QStringLiteral("Reply to command %1: ").arg(command + 1) +
                       QString::fromLatin1(piece.message.check.Describe()));
        m_status = 1;
    }
    // A frame that comes between commands is shown, but answers none of them.
    if (!m_awaiting)
        return;
    m_wait.stop();
    if (!m_patterns.isEmpty()) {
        const Pattern& pattern = m_patterns.at(m_patterns.size() == 1 ? 0 : m_next);
        bool gaveUp = false;
        if (!ShellFrames::Matches(pattern, piece, &gaveUp)) {
            if (gaveUp && !std::exchange(m_saidGaveUp, true))
                m_output.Error(
                    QStringLiteral("\"%1\" gave up at the match limit: counted as not matching")
                        .arg(pattern.text()));
            m_status = 1;
            m_output.Error(QStringLiteral("Reply to command %1 does not match \"%2\": %3")
                               .arg(m_next + 1)
                               .arg(pattern.text(), PatternText(piece.bytes)));
        }
    }
    m_awaiting = false;
    ++m_next;
    sendNext();
}

void ShellSendFrames::waitOver()
{
    if (m_finished || !m_awaiting)
        return;
    // A frame begun within the wait is given the time to end.
    if (m_frames.reader().waiting() > 0 && !std::exchange(m_extended, true)) {
        m_wait.start(int(FrameReader::kNotAFrameMs));
        return;
    }
    m_awaiting = false;
    m_status = 1;
    m_output.Error(QStringLiteral("No reply to command %1: ").arg(m_next + 1) +
                   TrimBlanks(m_options.commands.at(m_next)));
    ++m_next;
    sendNext();
}

void ShellSendFrames::peerClosed(bool reset)
{
    // What came before the close is cut first; when it held the last reply the work is done.
    m_frames.Flush();
    if (m_finished)
        return;
    if (m_next == m_typed.size() && !m_awaiting) {
        finish(m_status);
        return;
    }
    m_output.Error(RunLink::ClosedReason(reset));
    finish(2);
}

void ShellSendFrames::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    m_wait.stop();
    // Bytes still waiting to be cut are printed before the link goes.
    m_frames.Flush();
    m_link.Close();
    emit Finished(status);
}
