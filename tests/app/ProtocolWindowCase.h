#pragma once

// The window on a pseudo-terminal with OSDP chosen, as the protocol window tests use it.
#include "app/ProtocolControl.h"
#include "app/ProtocolMenu.h"
#include "app/RepeatControl.h"
#include "app/TerminalWindow.h"
#include "commandline/CommandLine.h"
#include "console/EventLog.h"
#include "console/LinkChoice.h"
#include "console/TerminalController.h"
#include "reading/LogActions.h"
#include "support/PtyPair.h"
#include "support/Terminal.h"
#include "terminal/OsdpCap.h"
#include "terminal/TerminalFolders.h"

#include <QtTest>
#include <QtWidgets>

inline const QByteArray kPoll = QByteArray::fromHex("FF530108000460BA00");
inline const QByteArray kAck = QByteArray::fromHex("5381080004400806");
inline const QByteArray kBadPoll = QByteArray::fromHex("FF530108000460BA01");

struct ProtocolWindowCase {
    std::unique_ptr<TerminalWindow> w;
    std::unique_ptr<PtyPair> pty;
    int from = 0; // the first line of a case

    EventLog& log() { return w->LB(); }
    ProtocolControl& protocol() { return w->protocolControl(); }
    // The reply lines since the case began.
    QList<const LogLine*> replies()
    {
        QList<const LogLine*> lines;
        for (int row = from; row < log().count(); ++row)
            if (log().record(row).kind() == LogLine::Kind::Input)
                lines << &log().record(row);
        return lines;
    }
    const LogLine& lastOutput()
    {
        int row = log().count() - 1;
        while (row > 0 && log().record(row).kind() != LogLine::Kind::Output)
            --row;
        return log().record(row);
    }
    // The Protocol menu as it is about to show, the folder read again.
    QMenu& protocolMenu()
    {
        emit protocol().menu().aboutToShow();
        return protocol().menu();
    }
    void describe(const QString& name, const QByteArray& text)
    {
        QDir().mkpath(ProtocolFolder());
        QFile file(QDir(ProtocolFolder()).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text));
    }
    // The Checksum menu's first line, when greyed as a protocol has it.
    QString checksumShown()
    {
        std::unique_ptr<QMenu> menu(w->commandLine().ContextMenu());
        for (QAction* action : menu->actions())
            if (action->menu() && action->text() == "Checksum" && !action->menu()->isEnabled())
                return action->menu()->actions().first()->text();
        return {};
    }
    void send(const QString& typed)
    {
        w->SetCommandText(typed);
        w->findChild<QPushButton*>("Command3")->click();
    }

    // A fresh window reading OSDP on port 5, a fresh pseudo-terminal behind it.
    void setUp()
    {
        QDir(ProtocolFolder()).removeRecursively();
        QFile::remove(CaptureFile());
        w = std::make_unique<TerminalWindow>();
        pty = std::make_unique<PtyPair>();
        SetPortDevice(5, pty->slavePath());
        w->findChild<QComboBox*>("CmbComPort")->setCurrentIndex(4);
        w->findChild<QRadioButton*>("Option2")->click();
        QVERIFY(w->serialLink().IsOpen());
        protocol().Choose("osdp");
        QCOMPARE(log().line(log().count() - 1), "Protocol: osdp");
        from = log().count();
    }
};
