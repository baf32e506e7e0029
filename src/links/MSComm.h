#pragma once

#include "links/LinkResult.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

// The serial port control, on QSerialPort, with exactly the members the serial link uses.
// CommPort 1-16 maps to a device at each open: the environment variable ACCESSTERM_COM<n> when set,
// otherwise the n-th serial port really present (ttyS*, then ttyUSB*, then ttyACM*, each by
// number).
class MSComm : public QObject
{
    Q_OBJECT
public:
    // CommEvent codes the control raises.
    static constexpr int comEvReceive = 2;
    // Line errors are reported with codes from 1000 up (e.g. 1004 framing, 1006 overrun,
    // 1009 parity, 1001 break); the link ignores them.

    explicit MSComm(QObject* parent = nullptr);

    int CommPort() const;
    void SetCommPort(int port);

    // "9600,n,8,1": kept while closed, applied at once to an open port. A frame (parity, data
    // and stop bits) the open device refuses leaves the line and Settings as they were.
    QString Settings() const;
    LinkResult SetSettings(const QString& settings);

    bool PortOpen() const;
    // Opening maps CommPort to its device; a failure names the port, the device and the reason.
    LinkResult SetPortOpen(bool open);
    // Opens device itself, in place of the device CommPort maps to (CommPort 0 names no port).
    LinkResult OpenDevice(const QString& device);

    LinkResult Output(const QByteArray& bytes);
    QByteArray Input();
    int InBufferCount() const;
    // The bytes written and not yet gone out on the line: held by the port, or by the driver.
    int OutBufferCount() const;
    // Holds at most bytes read from the line and not yet taken (0: no limit); the line is left
    // unread meanwhile, so a device that floods is held back by the driver's buffer.
    void SetInBufferSize(qint64 bytes) { m_port.setReadBufferSize(bytes); }
    int CommEvent() const;

    // A serial device present now, with what the system says of its adapter (either may be empty).
    struct SerialDevice {
        QString location;
        QString description;
        QString manufacturer;
    };

    // The device that port maps to, given the ports present now (system locations, in order).
    static QString DeviceForPort(int port, const QStringList& presentPorts);
    // The serial ports present now, in the order the mapping counts them.
    static QStringList PresentPorts();
    static QList<SerialDevice> PresentDevices();
    // The operator's text for an open that failed; an empty device means nothing maps to the port.
    // Port 0 is a device given by its path, named alone.
    static QString DescribeOpenFailure(int port, const QString& device,
                                       QSerialPort::SerialPortError error, const QString& reason);

signals:
    void OnComm();
    // The device went away (unplugged, or the far end of a pseudo-terminal closed) and the port
    // was closed for it; description says which and why.
    void PortLost(const QString& description);

private:
    QString lostDescription() const;

    // implementation-defined members
    QSerialPort m_port;
    int m_commPort = 1;
    QString m_settings = QStringLiteral("4800,n,8,1");
    QString m_device; // the device last opened, as given
    int m_commEvent = 0;
    bool m_closePending = false;
    QByteArray m_unread;  // read before the device went away, not yet taken by Input
    QString m_lostReason; // why the device went away, until the port is opened or closed again
};
