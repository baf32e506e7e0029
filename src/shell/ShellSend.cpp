#include "shell/ShellSend.h"

#include "checks/CheckCatalogue.h"
#include "shell/ShellLink.h"
#include "shell/ShellOptions.h"
#include "shell/ShellOutput.h"
#include "terminal/ReplyCheck.h"
#include "terminal/TrafficLines.h"

namespace
{

// A piece that fills the longest read goes on when more follows within one settle wait; a little
// more than that has passed when the link is idle and no piece followed.
constexpr int kGoesOnMs = 320;

} // namespace

ShellSend::ShellSend(const ShellOptions& options, ShellLink& link, ShellOutput& output,
                     QObject* parent)
    : QObject(parent), m_options(options), m_link(link), m_output(output)
{
    m_checks.choose(FindCheck(options.check.toStdString()));
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &ShellSend::waitOver);
    connect(&m_link, &ShellLink::Opened, this, &ShellSend::sendNext);
    connect(&m_link, &ShellLink::ReplyArrived, this, &ShellSend::replyArrived);
    connect(&m_link, &ShellLink::PeerClosed, this, &ShellSend::peerClosed);
    connect(&m_link, &ShellLink::Failed, this, [this](const QString& reason, int status) {
        m_output.Error(reason);
        m_link.WhenIdle([this, status] { finish(status); });
    });
    connect(&m_output, &ShellOutput::Broken, this, &ShellSend::finish);
}

void ShellSend::Start()
{
    // A command refused is a mistake in the script: nothing goes out.
    for (int n = 0; n < m_options.commands.size(); ++n) {
        const QString text = TrimBlanks(m_options.commands.at(n));
        // As the window sends it: the value in its place, and shown where it goes.
        QString shown;
        const CommandBytes command = m_checks.encode(text, shown);
        QString refusal = command.refusal;
        // A byte the serial line's frame cannot carry is refused as the notation refuses one.
        if (const QString why = m_options.host.isEmpty() && command.ok()
                                    ? m_options.frame.tooWide(command.bytes)
                                    : QString();
            !why.isEmpty())
            refusal = QStringLiteral("Nothing sent: ") + why;
        if (!refusal.isEmpty()) {
            m_output.Error(QStringLiteral("Command %1: ").arg(n + 1) + refusal);
            finish(2);
            return;
        }
        m_bytes.append(command.bytes);
        m_shown.append(shown);
    }
    // The options were read with these patterns already compiled once.
    for (const QString& text : m_options.expect) {
        QString why;
        m_patterns.append(*Pattern::Compile(text, why));
    }
    m_link.Open();
}

void ShellSend::Stop(int signalNumber)
{
    // A reply still settling is printed, but no command goes out after it.
    m_stopping = true;
    m_link.WhenIdle([this, signalNumber] { finish(128 + signalNumber); });
}

void ShellSend::sendNext()
{
    if (m_finished || m_stopping)
        return;
    if (m_next == m_bytes.size()) {
        finish(m_status);
        return;
    }
    if (!m_output.Line(kOutputMarker + m_shown.at(m_next)))
        return;
    if (!m_link.Send(m_bytes.at(m_next))) {
        finish(2);
        return;
    }
    m_awaiting = true;
    m_wait.start(m_options.waitMs);
}

void ShellSend::replyArrived(const QByteArray& reply, bool continued)
{
    if (m_finished)
        return;
    const int piece = ++m_pieces;
    const qint64 before = continued ? m_burstBytes : 0;
    m_burstBytes = before + reply.size();
    const bool cut = m_burstBytes > m_options.maxReplyBytes;
    const QByteArray shown = cut ? reply.first(m_options.maxReplyBytes - before) : reply;
    const QString& marker = continued ? kContinuedMarker : kInputMarker;
    if ((!shown.isEmpty() || !continued) &&
        !m_output.Reply(marker, shown, m_options.hex, FromSender(m_link.Sender())))
        return;
    if (cut) {
        // A peer that never stops: what came is shown, and nothing more goes out.
        const int command = qMin(m_next, int(m_bytes.size()) - 1);
        m_output.Error(QStringLiteral("Reply to command %1 cut after %2 bytes: ")
                           .arg(command + 1)
                           .arg(m_options.maxReplyBytes) +
                       TrimBlanks(m_options.commands.at(command)));
        finish(1);
        return;
    }
    // A reply in one line is checked whole; a failure is the reply's, not the link's.
    if (!continued && reply.size() < ShellLink::kLineBytes) {
        if (const ReplyCheck check = m_checks.verify(reply); check.failed) {
            m_output.Error(QStringLiteral("Reply to command %1: ")
                               .arg(qMin(m_next, int(m_bytes.size()) - 1) + 1) +
                           check.verdict);
            m_status = 1;
        }
    }
    // A burst that comes between commands is shown, but answers none of them.
    if (!m_awaiting)
        return;
    m_wait.stop();
    if (!continued)
        checkReply(reply);
    if (reply.size() < ShellLink::kLineBytes) {
        answered();
        return;
    }
    // The reply filled a line: it is answered once no piece goes on from it.
    QTimer::singleShot(kGoesOnMs, this, [this, piece] {
        m_link.WhenIdle([this, piece] {
            if (m_awaiting && piece == m_pieces)
                answered();
        });
    });
}

void ShellSend::answered()
{
    m_awaiting = false;
    ++m_next;
    sendNext();
}

void ShellSend::checkReply(const QByteArray& reply)
{
    if (m_patterns.isEmpty())
        return;
    const Pattern& pattern = m_patterns.at(m_patterns.size() == 1 ? 0 : m_next);
    const Pattern::Result result = pattern.Search(reply);
    if (result == Pattern::Result::Match)
        return;
    if (result == Pattern::Result::GaveUp && !std::exchange(m_saidGaveUp, true))
        m_output.Error(QStringLiteral("\"%1\" gave up at the match limit: counted as not matching")
                           .arg(pattern.text()));
    m_status = 1;
    m_output.Error(QStringLiteral("Reply to command %1 does not match \"%2\": %3")
                       .arg(m_next + 1)
                       .arg(pattern.text(), PatternText(reply)));
}

void ShellSend::waitOver()
{
    // When the first byte came within the wait, its burst is still settling: it is the reply.
    m_link.WhenIdle([this, command = m_next] {
        if (m_finished || !m_awaiting || m_next != command)
            return;
        m_awaiting = false;
        m_status = 1;
        m_output.Error(QStringLiteral("No reply to command %1: ").arg(command + 1) +
                       TrimBlanks(m_options.commands.at(command)));
        ++m_next;
        sendNext();
    });
}

void ShellSend::peerClosed(bool reset)
{
    // A reply still settling is printed first; when it was the last one the work is done.
    if (m_finished)
        return;
    m_stopping = true;
    m_link.WhenIdle([this, reset] {
        if (m_finished)
            return;
        if (m_next == m_bytes.size() && !m_awaiting) {
            finish(m_status);
            return;
        }
        m_output.Error(RunLink::ClosedReason(reset));
        finish(2);
    });
}

void ShellSend::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    m_wait.stop();
    m_link.Close();
    emit Finished(status);
}
