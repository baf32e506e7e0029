#pragma once

#include "console/ConsoleFields.h"

#include <QString>
#include <QStringList>

// The window's fields as plain values, so the controller can be driven without the window.
class FakeFields : public ConsoleFields
{
public:
    QString CommandText() const override { return command; }
    void SetCommandText(const QString& text) override { command = text; }
    int ComPortIndex() const override { return portIndex; }
    QString BaudText() const override { return baud; }
    QString HostText() const override { return host; }
    QString PortText() const override { return port; }
    void ShowMessage(const QString& text) override { messages << text; }
    void FocusBaudBox() override { ++baudFocus; }

    QString command, baud = QStringLiteral("4800"), host, port;
    int portIndex = -1;
    QStringList messages;
    int baudFocus = 0;
};
