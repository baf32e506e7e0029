#include "shell/ShellRepeat.h"

#include "checks/CheckCatalogue.h"
#include "shell/ShellFrames.h"
#include "shell/ShellLink.h"
#include "shell/ShellOptions.h"
#include "shell/ShellOutput.h"
#include "terminal/TrafficLines.h"

namespace
{

QString Capitalised(const QString& text)
{
    return text.isEmpty() ? text : text.first(1).toUpper() + text.sliced(1);
}

RepeatPlan PlanOf(const ShellOptions& options)
{
    RepeatPlan plan;
    plan.commands = options.commands;
    plan.everyMs = options.everyMs;
    plan.sends = qint64(options.repeat) * options.commands.size();
    plan.waitMs = options.waitMs;
    plan.patterns = options.expect;
    plan.stopAtFirstFailure = options.stopOnFailure;
    return plan;
}

} // namespace

ShellRepeat::ShellRepeat(const ShellOptions& options, ShellLink& link, ShellOutput& output,
                         QObject* parent)
    : QObject(parent), m_options(options), m_link(link), m_output(output)
{
    m_checks.choose(FindCheck(options.check.toStdString()));
    m_run = new RepeatRun(PlanOf(options), m_link, m_checks, m_clock, this);
    if (options.description) {
        m_run->SetProtocol(options.description);
        // Printed a frame a line with its summary, as the protocol's other modes print them.
        m_frames = new ShellFrames(options.description, Direction::Reply, output, options.hex,
                                   false, this);
    }
    connect(m_run, &RepeatRun::Sending, this,
            [this](qint64, const QString& shown, const QByteArray& bytes) {
                if (m_frames)
                    m_frames->PrintSent(bytes);
                else
                    m_output.Line(kOutputMarker + shown);
            });
    connect(
        m_run, &RepeatRun::Reply, this,
        [this](qint64, const QByteArray& reply, qint64, const ReplyCheck&, const QString& failure) {
            if (m_frames) {
                m_frames->Feed(reply);
                m_frames->Flush();
            } else if (!m_output.Reply(kInputMarker, reply, m_options.hex)) {
                return;
            }
            if (!failure.isEmpty())
                m_output.Error(Capitalised(failure));
        });
    connect(m_run, &RepeatRun::NoReply, this,
            [this](qint64, const QString& failure) { m_output.Error(Capitalised(failure)); });
    connect(m_run, &RepeatRun::Figures, this, [this](const QString& line) { m_output.Line(line); });
    connect(m_run, &RepeatRun::Finished, this, [this](const QString& verdict, bool failed) {
        m_output.Line(verdict);
        finish(m_status >= 0 ? m_status : failed ? 1 : 0);
    });
    connect(&m_link, &ShellLink::Opened, m_run, &RepeatRun::Start);
    connect(&m_link, &ShellLink::Failed, this, [this](const QString& reason) {
        m_output.Error(reason);
        end(reason, 2);
    });
    connect(&m_link, &ShellLink::PeerClosed, this,
            [this](bool reset) { end(RunLink::ClosedReason(reset), 2); });
    connect(&m_output, &ShellOutput::Broken, this, &ShellRepeat::finish);
}

void ShellRepeat::Start()
{
    // A command the notation refuses is a mistake in the script: nothing goes out.
    QString why;
    if (!m_run->Prepare(why)) {
        m_output.Error(why);
        finish(2);
        return;
    }
    m_link.Open();
}

void ShellRepeat::Stop(int signalNumber)
{
    end(QStringLiteral("signal %1").arg(signalNumber), 128 + signalNumber);
}

void ShellRepeat::end(const QString& reason, int status)
{
    m_status = status;
    if (m_run->isRunning()) {
        m_run->Stop(reason);
        return;
    }
    // Not begun yet (a link that did not open): there is no verdict to give.
    finish(status);
}

void ShellRepeat::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    m_link.Close();
    emit Finished(status);
}
