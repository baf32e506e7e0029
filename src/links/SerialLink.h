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
    void ClosePort();
    LinkResult ApplySettings(qint32 baud);
    LinkResult Write(const QByteArray& bytes);

    MSComm& MSComm1() { return m_comm; }

signals:
    void ReplyArrived(const QByteArray& reply, qint64 answerMs);

private:
    void MSComm1_OnComm();

    MSComm m_comm;
    bool m_collecting = false;
    QElapsedTimer m_sinceWrite; // invalid until a write on the port as now opened
};
