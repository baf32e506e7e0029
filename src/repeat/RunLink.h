#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

// The link a repeat or a check file runs on, as the window and the shell each give it: the
// window's open port or connection, or the one a shell mode opens.
class RunLink : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Opened or Failed follows.
    virtual void Open() = 0;
    // Writes the bytes of one command; false when they could not go out (the link says why).
    virtual bool Send(const QByteArray& bytes) = 0;
    // Done with the link: a shell mode closes it, the window keeps it.
    virtual void Close() = 0;
    // Runs then once no reply is in its settle wait, or the one that was has been handed on.
    virtual void WhenIdle(const std::function<void()>& then) = 0;
    // Reads are handed on as BytesRead rather than settled into ReplyArrived while set.
    virtual void SetHandOnAsRead(bool on) = 0;
    // Whether the last command has not all left the line yet (a slow serial port).
    virtual bool Sending() const = 0;
    // What a mode says when the peer ended the connection: closed, or reset.
    static QString ClosedReason(bool reset);

signals:
    void Opened();
    // status: what a shell mode ends with, 2 unless nobody called a listening link in time (1).
    void Failed(const QString& reason, int status = 2);
    // A reply burst, or a piece of one; continued: it goes on from the piece before.
    void ReplyArrived(const QByteArray& reply, bool continued);
    void BytesRead(const QByteArray& bytes);
    // The peer closed the connection (what it sent before is still delivered), or reset it.
    void PeerClosed(bool reset);
};
