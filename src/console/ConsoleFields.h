#pragma once

#include <QString>

// The window fields the terminal controller reads and writes, and the two window services it uses.
// frmMain provides them from its controls; tests can provide them without a window.
class ConsoleFields
{
public:
    virtual ~ConsoleFields() = default;

    virtual QString CommandText() const = 0; // txtChar
    virtual void SetCommandText(const QString& text) = 0;
    virtual int ComPortIndex() const = 0; // CmbComPort's selected entry, -1 when none
    virtual QString BaudText() const = 0; // Combo2
    virtual QString HostText() const = 0; // txtIP
    virtual QString PortText() const = 0; // txtPortNo

    virtual void ShowMessage(const QString& text) = 0; // modal, OK button only
    virtual void FocusBaudBox() = 0;                   // focus back to Combo2
};
