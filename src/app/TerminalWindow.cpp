#include "app/TerminalWindow.h"

#include "app/AutoAnswer.h"
#include "app/ProtocolControl.h"
#include "app/RepeatControl.h"

#include "commandline/CommandLine.h"
#include "commandline/PasteWatch.h"
#include "console/EventLog.h"
#include "console/TerminalController.h"
#include "find/LogFind.h"
#include "reading/FailureSteps.h"
#include "reading/LogActions.h"
#include "terminal/TerminalFolders.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>

TerminalWindow::TerminalWindow(QWidget* parent) : frmMain(parent)
{
    attach();
}

TerminalWindow::TerminalWindow(Toolkit& toolkit, QWidget* parent) : frmMain(toolkit, parent)
{
    attach();
}

void TerminalWindow::attach()
{
    EventLog* log = &LB();
    m_logActions = new LogActions(*log);
    connect(new PasteWatch(txtChar()), &PasteWatch::PasteCut, &controller(),
            &TerminalController::txtChar_PasteCut);
    m_commandLine = new CommandLine(txtChar(), toolkit(), this);
    connect(m_commandLine, &CommandLine::Problem, log, &EventLog::AddLine);
    connect(&controller(), &TerminalController::CommandOutput, m_commandLine,
            &CommandLine::Remember);
    // A command sent with a check value comes back as typed, without the value.
    connect(log, &QAbstractItemView::doubleClicked, m_commandLine,
            [this, log](const QModelIndex& index) {
                m_commandLine->TakeFromLog(log->shownRecord(index.row()).asTyped());
            });
    m_commandLine->SetCheckChoice(&controller().checkChoice());
    // Read the command list only once its refusals reach the log.
    m_commandLine->list().Load(CommandListFile());
    // The answers file lives beside the command list.
    m_autoAnswer = new AutoAnswer(
        *log, serialLink(), tcpLink(), controller().checkChoice(),
        QFileInfo(CommandListFile()).dir().filePath(QStringLiteral("Answers.TXT")), this);
    m_autoAnswer->AnswerOn(controller().links());
    connect(&m_logActions->answerAutomatically(), &QAction::toggled, m_autoAnswer,
            &AutoAnswer::SetOn);
    m_repeatControl = new RepeatControl(*this);
    m_commandLine->AddMenuActions({&m_repeatControl->repeatAction(), &m_repeatControl->stopAction(),
                                   &m_repeatControl->checkFileAction()});
    m_protocolControl = new ProtocolControl(*this, *m_commandLine, *m_repeatControl);
    m_logActions->setProtocol([this] { return m_protocolControl->description(); });
    new FailureSteps(*log);
    m_logFind = new LogFind(*log, *this);
}
