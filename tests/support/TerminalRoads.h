#pragma once

#include "support/PtyPair.h"
#include "support/Terminal.h"

#include "notation/RenderReceivedData.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <sys/resource.h>

#include <memory>

// The operator's roads through the terminal without its window: a fresh terminal for each case,
// a loopback TCP server for it to connect to, a pseudo-terminal's slave as a serial port, and
// what the log shows.
inline double CpuSeconds()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

inline speed_t LineSpeed(const PtyPair& pty)
{
    termios tio{}; // the master end's ioctls act on the slave's line settings
    tcgetattr(pty.masterFd(), &tio);
    return cfgetospeed(&tio);
}

inline QString Rendered(const QByteArray& bytes)
{
    return QString::fromLatin1(RenderReceivedData(bytes.toStdString()));
}

// The bytes as a command of one token each.
inline QString Tokens(const QByteArray& bytes)
{
    QString text;
    for (const char c : bytes)
        text += QString::asprintf("<%02X>", quint8(c));
    return text;
}

inline QByteArray EveryByte()
{
    QByteArray bytes;
    for (int c = 0; c < 256; ++c)
        bytes += char(c);
    return bytes;
}

class TerminalRoads
{
protected:
    // A new terminal, pointed at a new listening port: no connection left over from the last case.
    void setUp()
    {
        QDir(CaptureFile()).removeRecursively();
        QFile::remove(CaptureFile());
        t = std::make_unique<Terminal>();
        m_server.close(); // a new port: no connection left over from the last test
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        t->fields.host = " 127.0.0.1 ";
        t->fields.port = QString::number(m_server.serverPort());
    }

    QTcpSocket* connectPeer()
    {
        const qsizetype before = lines().count("Connect Succeed");
        t->controller.CmdConnect_Click();
        return acceptPeer(before);
    }

    // The peer's end of the connection the terminal makes once it has connected more than before.
    QTcpSocket* acceptPeer(qsizetype before)
    {
        if (!QTest::qWaitFor([&] { return lines().count("Connect Succeed") > before; }) ||
            !(m_server.hasPendingConnections() || m_server.waitForNewConnection(5000)))
            return nullptr;
        return m_server.nextPendingConnection();
    }

    void openSerial(PtyPair& pty, int port)
    {
        SetPortDevice(port, pty.slavePath());
        t->fields.portIndex = port - 1;
        t->controller.Option2_Click();
        QVERIFY(t->serial.IsOpen());
    }

    void send(const QString& command)
    {
        t->fields.command = command;
        t->controller.Command3_Click();
    }

    QStringList lines() const { return t->log.lines(); }
    const LogLine& last() const { return t->log.record(t->log.count() - 1); }

    // Every reply the log shows, joined; the payloads here are printable, shown as they are.
    QByteArray shownInput() const
    {
        return lines().filter("[Input]------").join("").remove("[Input]------").toLatin1();
    }

    QTcpServer m_server;
    std::unique_ptr<Terminal> t;
};
