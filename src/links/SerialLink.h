#pragma once

#include "links/LinkResult.h"
#include "links/MSComm.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

// The terminal's one serial port. It owns MSComm1 and turns each arrival into one reply burst:
// settle 300 ms, then drain, then notify ReplyArrived with a non-empty reply and how long after
// the port's last write (since it opened) the reply's first byte came, -1 when nothing was
// written.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    explicit SerialLink(QObject* parent = nullptr);

    bool IsOpen() const;
    LinkResult OpenPort(int port);
    // The same open for a device given by its path rather than a port number.
    LinkResult OpenDevice(const QString& device);
    void ClosePort();
    LinkResult ApplySettings(qint32 baud);
    LinkResult Write(const QByteArray& bytes);

    MSComm& MSComm1() { return m_comm; }
    // Whether an arrival is in its settle wait: a reply is on its way.
    bool Gathering() const { return m_collecting; }

signals:
    void ReplyArrived(const QByteArray& reply, qint64 answerMs);
    // The open port's device went away, and the port was closed for it.
    void PortLost(const QString& description);

private:
    void MSComm1_OnComm();

    MSComm m_comm;
    bool m_collecting = false;
    quint64 m_opening = 0;      // counts OpenPort and ClosePort calls
    QElapsedTimer m_sinceWrite; // invalid until a write on the port as now opened
};
