#pragma once

#include "console/LinkChoice.h"
#include "links/SerialFrame.h"
#include "terminal/CheckChoice.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <span>

class ConsoleFields;
struct CommandBytes;
struct LineMarks;
class EventLog;
class SerialLink;
class TcpLink;

// The handlers of every operator action and link event, with the little state they share.
class TerminalController : public QObject
{
    Q_OBJECT
public:
    // transportMode's values: nothing chosen yet, "Comport", "TCP/IP". Every value but
    // kSerialMode sends over TCP.
    static constexpr qint32 kNoMode = 0;
    static constexpr qint32 kSerialMode = 1;
    static constexpr qint32 kTcpMode = 2;

    TerminalController(ConsoleFields& window, EventLog& LB, SerialLink& serial, TcpLink& tcp,
                       QObject* parent = nullptr);
    ~TerminalController() override;

    void Option2_Click(); // "Comport": choose serial
    void Option1_Click(); // "TCP/IP": choose TCP
    void CmbComPort_Change();
    void CmbComPort_Click();
    void Combo2_Change();
    void Combo2_Click();
    void CmdConnect_Click(); // "Connect"
    void Command2_Click();   // "Close"
    void cmdNumber_Click(int Index);
    void Command3_Click(); // "Output Command"
    void cmdClear_Click(); // "Clear Screen"
    // A frame chosen in the baud box's menu: applied at the line's present speed, and kept for
    // every later baud change; one the device refuses leaves the line as it was.
    void Frame_Click(const SerialFrame& frame);
    // A link chosen in the "Link" menu: what "TCP/IP" stands for from now on. Choosing another
    // closes the one there was.
    void Link_Click(LinkChoice::Kind kind);
    // A paste into txtChar longer than the room it had: kept of offered characters went in.
    void txtChar_PasteCut(qsizetype kept, qsizetype offered);

    // Turns what "Output Command" sends from the trimmed text typed into bytes: the bytes, or the
    // refusal; shown, the command's line; marks, what the line is marked with.
    using Composer =
        std::function<CommandBytes(const QString& text, QString& shown, LineMarks& marks)>;
    // Another way to compose commands than the chosen check value's (none: that one again).
    void SetComposer(Composer composer) { m_composer = std::move(composer); }
    // A serial reply, or a piece of one, appended to the capture file as one line; a failure,
    // and a capture file not beside the program the first time, are logged.
    void CaptureReply(const QByteArray& reply);
    // The same for a line of many a second (a protocol's frames): the lines are kept a moment
    // and written together, the file opened once for them, in their order before any later one.
    void CaptureSoon(const QByteArray& reply);

    qint32 transportMode() const { return m_transportMode; }
    QString firstDigit() const { return m_firstDigit; }
    QString secondDigit() const { return m_secondDigit; }
    // The check value put into every command sent and checked in every reply.
    CheckChoice& checkChoice() { return m_checks; }
    const SerialFrame& frame() const { return m_frame; }
    // The TCP server and UDP links, and which link "TCP/IP" stands for.
    LinkChoice& links() { return m_links; }

signals:
    // "Output Command" has logged this command, whether or not it could be sent.
    void CommandOutput(const QString& text);

private:
    void SerialLink_ReplyArrived(const QByteArray& reply, qint64 answerMs);
    void TcpLink_Connected();
    void TcpLink_ReplyArrived(const QByteArray& reply, qint64 answerMs, bool continued);
    void TcpLink_SocketError(int number, const QString& description);

    void CheckChoice_Changed(const CheckEntry* check);
    void openChosenSerialPort();
    void applySettings(qint32 baud, const SerialFrame& frame);
    void applyBaudRate();
    void writeCaptures(std::span<const QByteArray> replies);
    void flushCaptures();

    ConsoleFields& m_window;
    EventLog& m_log;
    SerialLink& m_serial;
    TcpLink& m_tcp;

    CheckChoice m_checks;
    Composer m_composer;
    SerialFrame m_frame;
    qint32 m_transportMode = kNoMode;
    QString m_firstDigit;
    QString m_secondDigit;
    bool m_toldCaptureFile = false;  // the log has named a capture file not beside the program
    QList<QByteArray> m_captureSoon; // lines for the capture file, not yet written
    qsizetype m_captureSoonBytes = 0;
    QTimer m_captureTimer;
    LinkChoice m_links{m_log};
};
