#include "shell/ShellCheck.h"

#include "checks/CheckCatalogue.h"
#include "shell/ShellLink.h"
#include "shell/ShellOptions.h"
#include "shell/ShellOutput.h"
#include "terminal/ReplyCheck.h"
#include "terminal/TerminalFolders.h"
#include "terminal/TrafficLines.h"

#include <QFile>
#include <QStringDecoder>

#include <cstdio>

namespace
{

// The whole of a file, or of standard input for "-"; false with why when it cannot be read.
bool ReadWhole(const QString& path, QString& text, QString& why)
{
    QFile file(path);
    const bool open = path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                 : file.open(QIODevice::ReadOnly);
    const QByteArray bytes = open ? file.readAll() : QByteArray();
    if (!open || file.error() != QFileDevice::NoError) {
        why = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    text = QStringDecoder(QStringDecoder::Utf8).decode(bytes);
    return true;
}

} // namespace

ShellCheck::ShellCheck(const ShellOptions& options, ShellLink& link, ShellOutput& output,
                       QObject* parent)
    : QObject(parent), m_options(options), m_link(link), m_output(output)
{
    m_checks.choose(FindCheck(options.check.toStdString()));
    connect(&m_output, &ShellOutput::Broken, this, &ShellCheck::finish);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ShellCheck::timeUp);
    connect(&m_link, &ShellLink::Opened, this, &ShellCheck::runStep);
    connect(&m_link, &ShellLink::ReplyArrived, this, &ShellCheck::replyArrived);
    connect(&m_link, &ShellLink::Failed, this, [this](const QString& reason, int status) {
        m_output.Error(reason);
        m_link.WhenIdle([this, status] { finish(status); });
    });
    connect(&m_link, &ShellLink::PeerClosed, this, [this] {
        m_link.WhenIdle([this] {
            if (!m_finished)
                m_output.Error(
                    QStringLiteral("The peer closed the connection before the check ended"));
            finish(2);
        });
    });
}

void ShellCheck::Start()
{
    if (read())
        m_link.Open();
    else
        finish(2);
}

bool ShellCheck::read()
{
    QString script;
    QString commands;
    QString why;
    const QString commandsPath =
        m_options.commandsFile.isEmpty() ? CommandListFile() : m_options.commandsFile;
    // The window's command list may well not exist; one named on the command line must.
    if (!ReadWhole(m_options.script, script, why) ||
        (!ReadWhole(commandsPath, commands, why) && !m_options.commandsFile.isEmpty())) {
        m_output.Error(why);
        return false;
    }
    QStringList problems;
    m_steps = ParseCheckScript(script, commands, problems);
    for (const QString& problem : std::as_const(problems))
        m_output.Error(m_options.script + QStringLiteral(" ") + problem);
    return problems.isEmpty();
}

void ShellCheck::Stop(int signalNumber)
{
    m_link.WhenIdle([this, signalNumber] { finish(128 + signalNumber); });
}

void ShellCheck::runStep()
{
    if (m_finished)
        return;
    if (m_step == m_steps.size() && ++m_round < m_options.repeat)
        m_step = 0;
    if (m_step == m_steps.size()) {
        m_output.Line(QStringLiteral("%1 passed, %2 failed").arg(m_passed).arg(m_failed));
        finish(m_failed > 0 || m_badCheck ? 1 : 0);
        return;
    }
    ++m_turn;
    const CheckStep& step = m_steps.at(m_step);
    switch (step.kind) {
    case CheckStep::Kind::Send: {
        // With --checksum, the value goes where it belongs, as send puts it.
        QString shown;
        const CommandBytes command = m_checks.encode(step.command, shown);
        m_output.Line(kOutputMarker + shown);
        if (m_link.Send(command.bytes))
            QTimer::singleShot(0, this, &ShellCheck::nextStep);
        else
            finish(2);
        break;
    }
    case CheckStep::Kind::Expect:
        m_expecting = true;
        m_sawBurst = false;
        m_timer.start(step.ms);
        break;
    case CheckStep::Kind::Wait:
        m_timer.start(step.ms);
        break;
    }
}

void ShellCheck::nextStep()
{
    m_expecting = false;
    m_timer.stop();
    ++m_step;
    runStep();
}

void ShellCheck::replyArrived(const QByteArray& reply)
{
    if (m_finished)
        return;
    m_output.Reply(kInputMarker, reply, m_options.hex);
    // A burst whose check value fails matches nothing: its bytes are not what was meant.
    const ReplyCheck check = m_checks.verify(reply);
    if (check.failed) {
        m_output.Error(QStringLiteral("Line %1: a reply fails its check value: %2")
                           .arg(m_steps.at(qMin(m_step, int(m_steps.size()) - 1)).line)
                           .arg(check.verdict));
        m_badCheck = true;
    }
    // A burst that came while no expectation waited is a pushed event: shown, and no more.
    if (!m_expecting)
        return;
    m_lastBurst = reply;
    m_sawBurst = true;
    if (check.failed)
        return;
    const Pattern& pattern = *m_steps.at(m_step).pattern;
    const Pattern::Result result = pattern.Search(reply);
    if (result == Pattern::Result::GaveUp)
        m_output.Error(QStringLiteral("Line %1: the pattern gave up at the match limit: counted as "
                                      "not matching")
                           .arg(m_steps.at(m_step).line));
    if (result == Pattern::Result::Match)
        report(true);
}

void ShellCheck::timeUp()
{
    if (!m_expecting) {
        nextStep();
        return;
    }
    // A burst whose first byte came in time is still settling: it is heard first.
    m_link.WhenIdle([this, turn = m_turn] {
        if (m_finished || turn != m_turn)
            return;
        report(false, m_sawBurst
                          ? QStringLiteral(": got ") + PatternText(m_lastBurst)
                          : QStringLiteral(": no reply within %1 ms").arg(m_steps.at(m_step).ms));
    });
}

void ShellCheck::report(bool passed, const QString& why)
{
    const CheckStep& step = m_steps.at(m_step);
    ++(passed ? m_passed : m_failed);
    m_output.Line(QStringLiteral("%1ok %2 line %3: %4%5")
                      .arg(passed ? QString() : QStringLiteral("not "))
                      .arg(m_passed + m_failed)
                      .arg(step.line)
                      .arg(step.text, why));
    nextStep();
}

void ShellCheck::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    m_timer.stop();
    m_link.Close();
    emit Finished(status);
}
