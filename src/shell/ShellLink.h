#pragma once

#include "links/LineSink.h"
#include "links/SerialLink.h"
#include "links/TcpLink.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

struct ShellOptions;

// The link a shell mode talks through, as the command line chose it: the window's TCP link or
// serial link, opened the way the window opens them. Failures are worded as the window words
// them; the lines the window would log go to standard error.
class ShellLink : public QObject, public LineSink
{
    Q_OBJECT
public:
    explicit ShellLink(const ShellOptions& options, QObject* parent = nullptr);

    // Opened or Failed follows: a serial port at once, a connection once it is made or refused.
    void Open();
    // Writes the bytes of one command; false when they could not go out (standard error says why).
    bool Send(const QByteArray& bytes);
    void Close();
    // Runs then once no reply is in its settle wait, so that a reply on its way is delivered
    // first and no event loop is left while the wait is running.
    void WhenIdle(const std::function<void()>& then);

    // The TCP link's socket state line, to standard error.
    void AddLine(const QString& text) override;

signals:
    void Opened();
    void Failed(const QString& reason);
    void ReplyArrived(const QByteArray& reply);
    void PeerClosed();

private:
    bool gathering() const;

    const ShellOptions& m_options;
    SerialLink m_serial;
    TcpLink m_tcp{*this};
};

// One line to standard output or standard error, in UTF-8.
void PrintOut(const QString& line);
void PrintError(const QString& line);
// A reply as a shell mode prints it: the log's "[Input]------" line, or with hex the marker and
// the bytes as upper-case hex pairs.
QString ReplyLine(const QByteArray& reply, bool hex);
