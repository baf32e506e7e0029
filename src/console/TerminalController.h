#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class ConsoleFields;
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
    // A paste into txtChar longer than the room it had: kept of offered characters went in.
    void txtChar_PasteCut(qsizetype kept, qsizetype offered);

    qint32 transportMode() const { return m_transportMode; }
    QString firstDigit() const { return m_firstDigit; }
    QString secondDigit() const { return m_secondDigit; }

signals:
    // "Output Command" has logged this command, whether or not it could be sent.
    void CommandOutput(const QString& text);

private:
    void SerialLink_ReplyArrived(const QByteArray& reply, qint64 answerMs);
    void TcpLink_Connected();
    void TcpLink_ReplyArrived(const QByteArray& reply, qint64 answerMs, bool continued);
    void TcpLink_SocketError(int number, const QString& description);

    void openChosenSerialPort();
    void applyBaudRate();

    ConsoleFields& m_window;
    EventLog& m_log;
    SerialLink& m_serial;
    TcpLink& m_tcp;

    qint32 m_transportMode = kNoMode;
    QString m_firstDigit;
    QString m_secondDigit;
    bool m_toldCaptureFile = false; // the log has named a capture file not beside the program
};
