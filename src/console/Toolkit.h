#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

// The window toolkit operations the console relies on, as thin wrappers over Qt. The dialogs and
// the focus are virtual so that tests can see and answer them instead of blocking on a dialog.
class Toolkit
{
public:
    virtual ~Toolkit() = default;

    // A modal message box with an OK button only; returns when the operator has pressed OK.
    virtual void ShowMessage(QWidget* parent, const QString& text);
    // A modal dialog asking for one line of text; empty when the operator cancels.
    virtual QString AskText(QWidget* parent, const QString& label);
    // Moves the input focus to the widget.
    virtual void SetFocus(QWidget* widget);

    // Dispatches every event that is waiting, nested inside the caller.
    static void ProcessPendingEvents();
    // Milliseconds on a monotonic clock that never runs backwards and does not wrap.
    static qint64 TickCount();
};
