#pragma once

#include "links/LineSink.h"
#include "links/SerialLink.h"
#include "links/TcpLink.h"
#include "links/TcpServerLink.h"
#include "links/UdpLink.h"
#include "repeat/RunLink.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class ShellOutput;
struct ShellOptions;

// The link a shell mode talks through, as the command line chose it: the window's TCP link or
// serial link, opened the way the window opens them, or a TCP server or UDP link. Failures are
// worded as the window words them; the lines the window would log go to standard error.
class ShellLink : public RunLink, public LineSink
{
    Q_OBJECT
public:
    // The longest piece of a reply printed as one line, as in the window: a longer reply goes on
    // in continuation lines, each printed when it is complete.
    static constexpr qint64 kLineBytes = qint64(16) << 20;

    ShellLink(const ShellOptions& options, ShellOutput& output, QObject* parent = nullptr);

    // Opened or Failed follows: a serial port or UDP at once, a connection once it is made or
    // refused, or, listening, once the controller connects (Failed with status 1 when it does
    // not within --accept-wait). Later peers of a listener take over without a word.
    void Open() override;
    // Writes the bytes of one command; false when they could not go out (standard error says why).
    bool Send(const QByteArray& bytes) override;
    void Close() override;
    // Runs then once no reply is in its settle wait, or the one that was has been handed on (a
    // peer that floods leaves no pause), so that a reply on its way is delivered first and no
    // event loop is left while the wait is running.
    void WhenIdle(const std::function<void()>& then) override;
    void SetHandOnAsRead(bool on) override;
    bool Sending() const override;

    // The TCP link's socket state line, and a listener's or UDP's lines, to standard error.
    void AddLine(const QString& text) override;
    // Who sent the last datagram handed on, when it was not the controller; empty otherwise.
    const QString& Sender() const { return m_sender; }

    // Replies come in pieces of at most kLineBytes, as reads do while handed on as read.

private:
    bool gathering() const;
    void whenIdle(const std::function<void()>& then, quint64 handedOn);

    const ShellOptions& m_options;
    ShellOutput& m_output;
    SerialLink m_serial;
    TcpLink m_tcp{*this};
    TcpServerLink m_server{*this};
    UdpLink m_udp{*this};
    QTimer m_acceptWait;
    bool m_opened = false;
    QString m_sender;
    quint64 m_handedOn = 0; // counts the replies handed on
};
