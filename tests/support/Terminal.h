#pragma once

#include "console/ConsoleFields.h"
#include "console/EventLog.h"
#include "console/TerminalController.h"
#include "links/SerialLink.h"
#include "links/TcpLink.h"

#include <QCoreApplication>
#include <QDir>
#include <QIODevice>
#include <QTest>

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

// The terminal without its window: the controller with the real links and log.
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

// Points serial port number port at device for the opens that follow.
inline void SetPortDevice(int port, const QString& device)
{
    qputenv(qPrintable(QStringLiteral("ACCESSTERM_COM%1").arg(port)), device.toLocal8Bit());
}

// What a peer has read once at least count bytes have come, or after 5 s.
inline QByteArray Received(QIODevice* peer, qsizetype count)
{
    QByteArray got;
    (void)QTest::qWaitFor([&] { return (got += peer->readAll()).size() >= count; });
    return got;
}
