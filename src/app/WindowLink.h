#pragma once

#include "repeat/RunLink.h"

#include <QList>

class TcpLink;
class frmMain;

// The window's link as a repeat or a check file runs on it: the open serial port or the TCP
// connection (the client's, or the controller's that called the server), whichever the transport
// chosen is; not UDP. It is the operator's: opening only asks whether
// it is up, and closing leaves it as it is. Sends that cannot go out are logged as Output Command
// logs them.
class WindowLink : public RunLink
{
    Q_OBJECT
public:
    explicit WindowLink(frmMain& window, QObject* parent = nullptr);

    // Opened when the chosen link is up, Failed with the line Output Command would log otherwise.
    void Open() override;
    bool Send(const QByteArray& bytes) override;
    void Close() override {}
    void WhenIdle(const std::function<void()>& then) override;
    void SetHandOnAsRead(bool on) override;
    bool Sending() const override;

private:
    bool serial() const;
    // The TCP link "TCP/IP" stands for: the client's, or the peer of the server's.
    TcpLink& tcp() const;
    int tcpState() const;
    bool isChosen(const TcpLink& link) const;
    void watch(TcpLink& link);
    bool gathering() const;
    void whenIdle(const std::function<void()>& then, quint64 handedOn);

    frmMain& m_window;
    quint64 m_handedOn = 0;                 // counts the replies handed on
    QList<QMetaObject::Connection> m_reads; // the links' reads, while they are handed on
};
