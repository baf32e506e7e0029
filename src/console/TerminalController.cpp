#include "console/TerminalController.h"

#include "checks/CheckCatalogue.h"
#include "console/ConsoleFields.h"
#include "console/EventLog.h"
#include "console/Module1.h"
#include "links/SerialLink.h"
#include "links/TcpLink.h"
#include "terminal/TrafficLines.h"

#include <QStringListModel>
#include <QTimer>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace
{

// A reply of megabytes passes through buffers (the socket's above all), and a cleared log leaves
// its lines, whose pages the C library keeps once they are freed, in holes it does not hand back
// by itself; they are handed back on the next event-loop turn, once the view has let go of the
// lines too, and the window answers in between.
void ReturnFreedMemory()
{
#if defined(__GLIBC__)
    QTimer::singleShot(0, [] { malloc_trim(0); });
#endif
}

// An item delegate keeps the data of the last row it was handed (for a reply of megabytes, the
// whole line) until it is handed another: an empty row lets a cleared log's last line go.
void ForgetLastRowHandedOn(QAbstractItemView& view)
{
    const QStringListModel empty({QString()});
    QStyleOptionViewItem option;
    option.font = view.font();
    view.itemDelegate()->sizeHint(option, empty.index(0));
}

void ReturnFreedMemoryAfter(const QByteArray& reply)
{
    if (reply.size() >= (1 << 20))
        ReturnFreedMemory();
}

} // namespace

TerminalController::TerminalController(ConsoleFields& window, EventLog& LB, SerialLink& serial,
                                       TcpLink& tcp, QObject* parent)
    : QObject(parent), m_window(window), m_log(LB), m_serial(serial), m_tcp(tcp)
{
    m_captureTimer.setSingleShot(true);
    m_captureTimer.setInterval(250);
    connect(&m_captureTimer, &QTimer::timeout, this, &TerminalController::flushCaptures);
    connect(&m_serial, &SerialLink::ReplyArrived, this,
            &TerminalController::SerialLink_ReplyArrived);
    connect(&m_tcp, &TcpLink::Connected, this, &TerminalController::TcpLink_Connected);
    // A peer that floods comes a log line at a time, each handled before the next is read.
    m_tcp.SetLongestRead(EventLog::kLineBytes);
    connect(&m_tcp, &TcpLink::ReplyArrived, this, &TerminalController::TcpLink_ReplyArrived);
    connect(&m_tcp, &TcpLink::SocketError, this, &TerminalController::TcpLink_SocketError);
    connect(&m_checks, &CheckChoice::changed, this, &TerminalController::CheckChoice_Changed);
    connect(
        &m_links, &LinkChoice::ReplyArrived, this,
        [this](const QByteArray& reply, qint64 answerMs, bool continued, const LineMarks& marks) {
            m_log.AddReply(reply, answerMs, continued, m_checks.verify(reply), marks);
            ReturnFreedMemoryAfter(reply);
        });
}

void TerminalController::Link_Click(LinkChoice::Kind kind)
{
    if (kind == m_links.kind())
        return;
    m_tcp.Disconnect();
    m_links.Choose(kind);
}

void TerminalController::Option2_Click()
{
    m_transportMode = kSerialMode;
    openChosenSerialPort();
}

void TerminalController::Option1_Click()
{
    if (m_serial.IsOpen())
        m_serial.ClosePort();
    m_transportMode = kTcpMode;
}

void TerminalController::CmbComPort_Change()
{
    openChosenSerialPort();
}

void TerminalController::CmbComPort_Click()
{
    openChosenSerialPort();
}

void TerminalController::Combo2_Change()
{
    applyBaudRate();
}

void TerminalController::Combo2_Click()
{
    applyBaudRate();
}

void TerminalController::openChosenSerialPort()
{
    m_log.AddLine(QStringLiteral("Connect Close"));
    m_tcp.Disconnect();
    m_links.Close();
    const int port = m_window.ComPortIndex() + 1;
    if (port == 0)
        return;
    const LinkResult opened = m_serial.OpenPort(port);
    if (!opened.ok()) {
        // The one trapped failure: the operator sees why, and the terminal goes on.
        m_window.ShowMessage(opened.description());
        return;
    }
    m_log.AddLine(QStringLiteral("Open Comport:Com ") + QString::number(port));
}

void TerminalController::applyBaudRate()
{
    const std::optional<qint32> baud = RoundedValue(m_window.BaudText());
    if (!baud || *baud <= 0) {
        m_window.ShowMessage(QStringLiteral("Wrong Boad Rate"));
        m_window.FocusBaudBox();
        return;
    }
    applySettings(*baud, m_frame);
}

void TerminalController::Frame_Click(const SerialFrame& frame)
{
    applySettings(m_serial.Baud(), frame);
}

void TerminalController::applySettings(qint32 baud, const SerialFrame& frame)
{
    const LinkResult applied = m_serial.ApplySettings(baud, frame);
    if (!applied.ok()) {
        m_log.AddLine(applied.description());
        return;
    }
    m_frame = frame;
    m_log.AddLine(QStringLiteral("Comport Setting:") + frame.settings(baud));
}

void TerminalController::CmdConnect_Click()
{
    if (m_serial.IsOpen())
        m_serial.ClosePort();
    m_log.AddLine(QStringLiteral("Close Comport"));
    m_log.AddLine(QStringLiteral("Connecting....."));
    // A port number beyond 32 bits cannot be a port: hand on one the link refuses, so the
    // operator gets its socket error line.
    const std::optional<qint32> port = RoundedValue(TrimBlanks(m_window.PortText()));
    if (m_links.kind() != LinkChoice::Kind::TcpClient) {
        m_links.Connect(TrimBlanks(m_window.HostText()), port ? qint64(*port) : qint64(-1));
        return;
    }
    m_tcp.ConnectTo(TrimBlanks(m_window.HostText()), port ? qint64(*port) : qint64(-1));
}

void TerminalController::Command2_Click()
{
    m_log.AddLine(QStringLiteral("Connect Close"));
    m_tcp.Disconnect();
    m_links.Close();
}

void TerminalController::cmdNumber_Click(int Index)
{
    if (Index < 0 || Index > 15)
        return;
    const QString digit = QString::number(Index, 16).toUpper();
    if (m_firstDigit.isEmpty()) {
        m_firstDigit = digit;
        return;
    }
    m_secondDigit = digit;
    m_window.SetCommandText(m_window.CommandText() + QLatin1Char('<') + m_firstDigit +
                            m_secondDigit + QLatin1Char('>'));
    m_firstDigit.clear();
    m_secondDigit.clear();
}

void TerminalController::Command3_Click()
{
    const QString text = TrimBlanks(m_window.CommandText());
    QString shown;
    LineMarks marks;
    const CommandBytes command =
        m_composer ? m_composer(text, shown, marks) : m_checks.encode(text, shown);
    // The command's line keeps the bytes it stands for, and the command as typed.
    m_log.AddCommand(kOutputMarker + shown, command.bytes,
                     shown == text ? QString() : kOutputMarker + text, {}, marks);
    emit CommandOutput(text);
    if (!command.ok()) {
        m_log.AddLine(command.refusal);
        return;
    }
    const QByteArray& bytes = command.bytes;
    if (m_transportMode == kSerialMode) {
        // A byte the frame's data bits cannot carry would arrive as another.
        if (const QString why = m_frame.tooWide(bytes); !why.isEmpty()) {
            m_log.AddLine(QStringLiteral("Nothing sent: ") + why);
            return;
        }
        const LinkResult written = m_serial.Write(bytes);
        if (!written.ok())
            m_log.AddLine(QStringLiteral("Nothing sent: ") + written.description());
    } else if (m_links.kind() != LinkChoice::Kind::TcpClient) {
        m_links.Send(bytes);
    } else if (m_tcp.GetState() == Winsock::sckConnected) {
        const LinkResult sent = m_tcp.Send(bytes);
        if (!sent.ok())
            m_log.AddLine(QStringLiteral("Nothing sent: ") + sent.description());
    } else {
        m_tcp.LogSocketState();
    }
}

void TerminalController::CheckChoice_Changed(const CheckEntry* check)
{
    m_log.AddLine(check ? QStringLiteral("Checksum: %1, added to every command sent")
                              .arg(QLatin1String(check->name.data(), qsizetype(check->name.size())))
                        : QStringLiteral("Checksum: none"));
}

void TerminalController::cmdClear_Click()
{
    m_log.Clear();
    ForgetLastRowHandedOn(m_log);
    ReturnFreedMemory();
}

void TerminalController::txtChar_PasteCut(qsizetype kept, qsizetype offered)
{
    m_log.AddLine(QStringLiteral("Paste cut to fit the command line: %1 of %2 characters kept")
                      .arg(kept)
                      .arg(offered));
}

void TerminalController::SerialLink_ReplyArrived(const QByteArray& reply, qint64 answerMs)
{
    m_log.AddReply(reply, answerMs, false, m_checks.verify(reply));
    // The capture file takes the reply whole, however many lines the log gives it.
    CaptureReply(reply);
    ReturnFreedMemoryAfter(reply);
}

TerminalController::~TerminalController()
{
    // The lines still kept go to the file; with the window gone, a failure can only be lost.
    QString path;
    if (!m_captureSoon.isEmpty())
        AppendCaptureReplies(path, m_captureSoon);
}

void TerminalController::CaptureReply(const QByteArray& reply)
{
    flushCaptures();
    writeCaptures(std::span(&reply, 1));
}

void TerminalController::CaptureSoon(const QByteArray& reply)
{
    m_captureSoon.append(reply);
    m_captureSoonBytes += reply.size();
    // A quarter of a second's lines at most, and never much memory.
    if (m_captureSoonBytes >= EventLog::kLineBytes)
        flushCaptures();
    else if (!m_captureTimer.isActive())
        m_captureTimer.start();
}

void TerminalController::flushCaptures()
{
    m_captureTimer.stop();
    if (m_captureSoon.isEmpty())
        return;
    const QList<QByteArray> replies = std::exchange(m_captureSoon, {});
    m_captureSoonBytes = 0;
    writeCaptures(replies);
}

void TerminalController::writeCaptures(std::span<const QByteArray> replies)
{
    QString path;
    QString why;
    // The reply is in the log either way; the operator is told the file lacks it.
    if (!AppendCaptureReplies(path, replies, &why)) {
        m_log.AddLine(QStringLiteral("Not saved to ") + path + QStringLiteral(": ") + why);
    } else if (!m_toldCaptureFile && path != ProgramCaptureFile()) {
        // Once a run, so the operator can find captures that are not beside the program.
        m_toldCaptureFile = true;
        m_log.AddLine(QStringLiteral("Capture file: ") + path +
                      QStringLiteral(" (the program's directory is not writable)"));
    }
}

void TerminalController::TcpLink_Connected()
{
    m_log.AddLine(QStringLiteral("Connect Succeed"));
}

void TerminalController::TcpLink_ReplyArrived(const QByteArray& reply, qint64 answerMs,
                                              bool continued)
{
    m_log.AddReply(reply, answerMs, continued, m_checks.verify(reply));
    ReturnFreedMemoryAfter(reply);
}

void TerminalController::TcpLink_SocketError(int number, const QString& description)
{
    m_log.AddLine(QStringLiteral("Socket Error:") + QString::number(number) + QLatin1Char(' ') +
                  description);
}
