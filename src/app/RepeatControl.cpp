#include "app/RepeatControl.h"

#include "app/CheckFileDialog.h"
#include "app/RepeatDialog.h"
#include "checks/CheckCatalogue.h"
#include "console/EventLog.h"
#include "console/Module1.h"
#include "console/TerminalController.h"
#include "console/frmMain.h"
#include "repeat/CheckRun.h"
#include "repeat/RepeatRun.h"
#include "terminal/CheckChoice.h"
#include "terminal/TrafficLines.h"

#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace
{

// The title follows a repeat at most this often: a send every 10 ms would repaint it each time.
constexpr qint64 kTitleEveryMs = 250;
// New log lines come into view at most this often while a repeat runs.
constexpr int kLogEveryMs = 250;

LineMarks Failure(const QString& failure)
{
    LineMarks marks;
    marks.details = failure;
    marks.flagged = !failure.isEmpty();
    return marks;
}

QString CheckName(const CheckChoice& checks)
{
    return checks.check() ? QString::fromLatin1(checks.check()->name.data(),
                                                qsizetype(checks.check()->name.size()))
                          : QString();
}

} // namespace

RepeatControl::RepeatControl(frmMain& window)
    : QObject(&window), m_window(window), m_log(window.LB()), m_link(window), m_output(m_log)
{
    m_repeatAction = new QAction(tr("Repeat\u2026"), this);
    connect(m_repeatAction, &QAction::triggered, this, &RepeatControl::AskRepeat);
    m_stopAction = new QAction(tr("Stop Repeating"), this);
    m_stopAction->setEnabled(false);
    connect(m_stopAction, &QAction::triggered, this,
            [this] { Stop(QStringLiteral("Stop Repeating chosen")); });
    m_checkFileAction = new QAction(tr("Run Check File\u2026"), this);
    connect(m_checkFileAction, &QAction::triggered, this, &RepeatControl::AskCheckFile);
    window.installEventFilter(this);
    watchStops();
    // A check file's run says itself when its link fails.
    connect(&m_link, &RunLink::Failed, this, [this](const QString& reason) {
        if (m_repeat)
            m_repeat->Stop(reason);
    });
    connect(&m_link, &RunLink::PeerClosed, this, [this](bool reset) {
        if (m_repeat)
            m_repeat->Stop(reset ? QStringLiteral("the peer reset the connection")
                                 : QStringLiteral("the peer closed the connection"));
    });
}

RepeatControl::~RepeatControl() = default;

void RepeatControl::watchStops()
{
    const auto stopOn = [this](auto* sender, auto signal, const QString& reason) {
        connect(sender, signal, this, [this, reason] { Stop(reason); });
    };
    const auto button = [this](const char* name) {
        return m_window.findChild<QAbstractButton*>(QLatin1String(name));
    };
    stopOn(button("Command2"), &QAbstractButton::clicked, QStringLiteral("Close pressed"));
    stopOn(button("CmdConnect"), &QAbstractButton::clicked, QStringLiteral("Connect pressed"));
    for (const char* option : {"Option1", "Option2"})
        stopOn(button(option), &QAbstractButton::clicked, QStringLiteral("the transport changed"));
    for (const auto& [name, reason] : {std::pair("CmbComPort", "the port changed"),
                                       std::pair("Combo2", "the baud rate changed")}) {
        auto* box = m_window.findChild<QComboBox*>(QLatin1String(name));
        stopOn(box, &QComboBox::activated, QLatin1String(reason));
        stopOn(box->lineEdit(), &QLineEdit::textEdited, QLatin1String(reason));
    }
}

bool RepeatControl::isRunning() const
{
    return (m_repeat && m_repeat->isRunning()) || m_check;
}

void RepeatControl::offer(bool running)
{
    m_repeatAction->setEnabled(!running);
    m_checkFileAction->setEnabled(!running);
    m_stopAction->setEnabled(running);
    emit RunningChanged(running);
}

void RepeatControl::AskCheckFile()
{
    if (isRunning())
        return;
    auto* dialog = new CheckFileDialog(m_checkPath, m_checkRuns, &m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { RunCheckFile(dialog->path(), dialog->runs()); });
    dialog->open();
}

void RepeatControl::RunCheckFile(const QString& path, int runs)
{
    if (isRunning() || m_repeat)
        return;
    m_checkPath = path;
    m_checkRuns = runs;
    // A protocol's frames carry their own check value.
    const CheckRunOptions options{
        path,
        {},
        runs,
        false,
        m_protocol ? QString() : CheckName(m_window.controller().checkChoice()),
        {}};
    m_check = new CheckRun(options, m_link, m_output, this);
    if (m_protocol)
        m_check->SetProtocol(m_protocol);
    connect(m_check, &CheckRun::Finished, this, [this] {
        m_check->deleteLater();
        m_check = nullptr;
        offer(false);
    });
    offer(true);
    // Read whole and refused for a bad line before anything is sent.
    m_check->Start();
}

void RepeatControl::AskRepeat()
{
    if (isRunning())
        return;
    auto* dialog =
        new RepeatDialog(m_lastPlan, CheckName(m_window.controller().checkChoice()), &m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] { StartRepeat(dialog->plan()); });
    dialog->open();
}

void RepeatControl::StartRepeat(const RepeatPlan& asked)
{
    if (m_repeat || m_check)
        return;
    m_lastPlan = asked;
    RepeatPlan plan = asked;
    const QString text = TrimBlanks(m_window.CommandText());
    plan.commands = QStringList{text};
    const CheckChoice& checks = m_window.controller().checkChoice();
    QString why;
    QString shown;
    // With a protocol, the repeat completes the command into a frame, or refuses it, itself.
    if (!m_protocol) {
        if (const CommandBytes command = checks.encode(text, shown); !command.ok())
            why = command.refusal;
        else if (command.bytes.isEmpty())
            why = QStringLiteral("Nothing sent: the command line is empty");
    }
    m_repeat = new RepeatRun(plan, m_link, checks, *m_clock, this);
    if (m_protocol)
        m_repeat->SetProtocol(m_protocol);
    if (why.isEmpty())
        m_repeat->Prepare(why);
    if (!why.isEmpty()) {
        m_log.AddLine(QStringLiteral("Repeat not started: ") + why);
        delete std::exchange(m_repeat, nullptr);
        return;
    }
    RepeatRun* run = m_repeat;
    connect(run, &RepeatRun::Sending, this,
            [this, text](qint64, const QString& line, const QByteArray& bytes) {
                m_log.AddCommand(kOutputMarker + line, bytes,
                                 line == text ? QString() : kOutputMarker + text);
            });
    connect(run, &RepeatRun::Reply, this, &RepeatControl::logReply);
    connect(run, &RepeatRun::NoReply, this, [this](qint64, const QString& failure) {
        m_log.AddMarkedLine(failure.first(1).toUpper() + failure.sliced(1), Failure(failure));
    });
    connect(run, &RepeatRun::Progress, this, &RepeatControl::showProgress);
    connect(run, &RepeatRun::Figures, &m_log, &EventLog::AddLine);
    connect(run, &RepeatRun::Finished, this, &RepeatControl::ended);
    // Only once the link is seen to be up: a failure before that is a refusal.
    connect(&m_link, &RunLink::Opened, run, [this, run] {
        disconnect(&m_link, &RunLink::Opened, run, nullptr);
        disconnect(&m_link, &RunLink::Failed, run, nullptr);
        m_title = m_window.windowTitle();
        m_titleAt.invalidate();
        offer(true);
        // Sends many times a second would repaint the log as often.
        m_log.SetShowEveryMs(kLogEveryMs);
        run->Start();
    });
    connect(&m_link, &RunLink::Failed, run, [this](const QString& reason) {
        m_log.AddLine(QStringLiteral("Repeat not started: ") + reason);
        m_repeat->deleteLater();
        m_repeat = nullptr;
    });
    m_link.Open();
}

void RepeatControl::Stop(const QString& reason)
{
    if (m_repeat && m_repeat->isRunning())
        m_repeat->Stop(reason);
    else if (m_check)
        m_check->Stop(reason);
}

void RepeatControl::logReply(qint64, const QByteArray& reply, qint64 answerMs,
                             const ReplyCheck& check, const QString& failure)
{
    m_log.AddReply(reply, answerMs, false, check, Failure(failure));
    if (m_window.controller().transportMode() != TerminalController::kSerialMode)
        return;
    // Serial replies are captured during a repeat too, one line each.
    QString path;
    QString why;
    if (!AppendCaptureReply(path, reply, &why))
        m_log.AddLine(QStringLiteral("Not saved to ") + path + QStringLiteral(": ") + why);
}

void RepeatControl::showProgress(qint64 done, qint64 total, qint64 failed)
{
    if (m_titleAt.isValid() && m_titleAt.elapsed() < kTitleEveryMs && done != total)
        return;
    m_titleAt.start();
    const QString count =
        total > 0 ? tr("repeat %1 of %2").arg(done).arg(total) : tr("repeat %1").arg(done);
    // An empty title shows as the program's name.
    const QString title = m_title.isEmpty() ? QGuiApplication::applicationDisplayName() : m_title;
    m_window.setWindowTitle(tr("%1 \u2014 %2, %3 failed").arg(title, count).arg(failed));
}

void RepeatControl::ended(const QString& verdict)
{
    m_log.AddLine(verdict);
    m_log.SetShowEveryMs(0);
    m_window.setWindowTitle(m_title);
    offer(false);
    m_repeat->deleteLater();
    m_repeat = nullptr;
}

bool RepeatControl::eventFilter(QObject* watched, QEvent* event)
{
    // Reaches the window only when the widget with the focus, and each one it sits in, left the
    // key alone; a popup or a dialog takes its keys before the window sees any.
    if (watched != &m_window || event->type() != QEvent::KeyPress || !isRunning())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier)
        return false;
    Stop(QStringLiteral("Escape pressed"));
    return true;
}
