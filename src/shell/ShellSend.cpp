#include "shell/ShellSend.h"

#include "shell/ShellLink.h"
#include "shell/ShellOptions.h"
#include "terminal/TrafficLines.h"

ShellSend::ShellSend(const ShellOptions& options, ShellLink& link, QObject* parent)
    : QObject(parent), m_options(options), m_link(link)
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &ShellSend::waitOver);
    connect(&m_link, &ShellLink::Opened, this, &ShellSend::sendNext);
    connect(&m_link, &ShellLink::ReplyArrived, this, &ShellSend::replyArrived);
    connect(&m_link, &ShellLink::Failed, this, [this](const QString& reason) {
        PrintError(reason);
        m_link.WhenIdle([this] { finish(2); });
    });
}

void ShellSend::Start()
{
    // A command the notation refuses is a mistake in the script: nothing goes out.
    for (int n = 0; n < m_options.commands.size(); ++n) {
        const CommandBytes command = EncodeForSending(TrimBlanks(m_options.commands.at(n)));
        if (!command.ok()) {
            PrintError(QStringLiteral("Command %1: ").arg(n + 1) + command.refusal);
            finish(2);
            return;
        }
        m_bytes.append(command.bytes);
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
    PrintOut(kOutputMarker + TrimBlanks(m_options.commands.at(m_next)));
    if (!m_link.Send(m_bytes.at(m_next))) {
        finish(2);
        return;
    }
    m_awaiting = true;
    m_wait.start(m_options.waitMs);
}

void ShellSend::replyArrived(const QByteArray& reply)
{
    if (m_finished)
        return;
    PrintOut(ReplyLine(reply, m_options.hex));
    // A burst that comes between commands is shown, but answers none of them.
    if (!m_awaiting)
        return;
    m_awaiting = false;
    m_wait.stop();
    checkReply(reply);
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
        PrintError(QStringLiteral("\"%1\" gave up at the match limit: counted as not matching")
                       .arg(pattern.text()));
    m_status = 1;
    PrintError(QStringLiteral("Reply to command %1 does not match \"%2\": %3")
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
        PrintError(QStringLiteral("No reply to command %1: ").arg(command + 1) +
                   TrimBlanks(m_options.commands.at(command)));
        ++m_next;
        sendNext();
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
