#pragma once

#include "links/LinkResult.h"
#include "links/MSComm.h"

#include <QByteArray>
#include <QObject>

// The terminal's one serial port. It owns MSComm1 and turns each arrival into one reply burst:
// settle 300 ms, then drain, then notify ReplyArrived with a non-empty reply.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    explicit SerialLink(QObject* parent = nullptr);

    bool IsOpen() const;
    LinkResult OpenPort(int port);
    void ClosePort();
    LinkResult ApplySettings(qint32 baud);
    LinkResult Write(const QByteArray& bytes);

    MSComm& MSComm1() { return m_comm; }

signals:
    void ReplyArrived(const QByteArray& reply);

private:
    void MSComm1_OnComm();

    MSComm m_comm;
    bool m_collecting = false;
    quint64 m_opening = 0; // counts OpenPort and ClosePort calls
};
