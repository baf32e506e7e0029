#pragma once

#include "console/frmMain.h"

class AutoAnswer;
class CommandLine;
class LogActions;
class ProtocolControl;
class RepeatControl;
class LogFind;

// The window as the operator gets it: frmMain with the aids that live around it attached, the
// command line's (recall, the command list, paste handling) and the event log's (copying, Show
// Bytes, Save Log As, finding). Built here, on top, so that the window knows none of them.
class TerminalWindow : public frmMain
{
    Q_OBJECT
public:
    explicit TerminalWindow(QWidget* parent = nullptr);
    explicit TerminalWindow(Toolkit& toolkit, QWidget* parent = nullptr);

    CommandLine& commandLine() const { return *m_commandLine; }
    LogActions& logActions() const { return *m_logActions; }
    AutoAnswer& autoAnswer() const { return *m_autoAnswer; }
    RepeatControl& repeatControl() const { return *m_repeatControl; }
    LogFind& logFind() const { return *m_logFind; }
    ProtocolControl& protocolControl() const { return *m_protocolControl; }

private:
    void attach();

    CommandLine* m_commandLine = nullptr;
    LogActions* m_logActions = nullptr;
    AutoAnswer* m_autoAnswer = nullptr;
    RepeatControl* m_repeatControl = nullptr;
    LogFind* m_logFind = nullptr;
    ProtocolControl* m_protocolControl = nullptr;
};
