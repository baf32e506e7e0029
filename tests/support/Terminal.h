#pragma once

#include "console/EventLog.h"
#include "console/TerminalController.h"
#include "links/SerialLink.h"
#include "links/TcpLink.h"
#include "support/FakeFields.h"

#include <QCoreApplication>
#include <QDir>

// The terminal without its window: the controller with the real links and log, and the window's
// fields as plain values.
struct Terminal {
    FakeFields fields;
    EventLog log;
    SerialLink serial;
    TcpLink tcp{log};
    TerminalController controller{fields, log, serial, tcp};
};

// Where the terminal captures serial replies: beside the program.
inline QString CaptureFile()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("SaveFile.TXT"));
}
