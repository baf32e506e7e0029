#pragma once

#include "links/LinkResult.h"
#include "links/MSComm.h"
#include "links/SerialFrame.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

// The terminal's one serial port. It owns MSComm1 and turns each arrival into one reply burst.
//
// How it works:
// - The port announces an arrival (OnComm with comEvReceive). The link notes how long after its
//   last write the first byte came (-1 when nothing was written since the port opened), waits
//   300 ms with SettleDelay so that the rest of the burst can come, then drains the port and
//   emits ReplyArrived once with the whole burst.
// - The settle wait runs the window's events nested inside it: the operator may send, choose
//   another port, change the baud rate or close the port meanwhile, and further arrivals come.
//   While m_collecting is set, arrivals belong to the burst being gathered and start nothing.
// - m_opening counts every open and close. A wait that ends on another opening than it began on
//   does not read: the new opening's bytes get a wait of their own (or none, when nothing came).
// - m_collecting stays set while the reply is handed on, as the log renders a long one a slice
//   at a time; what came meanwhile is the next burst, started on the next turn of the loop.
// - A reply may be read a piece at a time (SetLongestRead): one that fills a piece goes on in the
//   next, which comes marked as its continuation when it follows within a settle wait.
// - A device that goes away (unplugged) is closed and announced with PortLost.
// - Handing on as read (SetHandOnAsRead) skips the settle wait: each read goes out at once with
//   BytesRead. A burst already in its wait when the mode is set ends as before; bytes left
//   unread when the mode changes get a round of their own on the next turn, in the new mode.
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
    // The line's speed and frame; a frame the device refuses leaves the line as it was.
    LinkResult ApplySettings(qint32 baud, const SerialFrame& frame = {});
    // The speed the line runs at, or will when it opens.
    qint32 Baud() const;
    // timed false: an automatic answer, after which replies are still timed from the last command.
    LinkResult Write(const QByteArray& bytes, bool timed = true);
    // Reads at most bytes in one reply (0: everything that has come), so that a device that
    // floods is held back rather than gathered in memory for a whole settle wait.
    void SetLongestRead(qint64 bytes);
    // While set, what arrives is handed on as it is read, with no settle wait: BytesRead once for
    // each read (at most the longest read, SetLongestRead), on the event-loop turn the bytes
    // came. Set or cleared between bursts: a burst already in its settle wait is handed on as
    // before.
    void SetHandOnAsRead(bool on);
    bool HandsOnAsRead() const { return m_handOn; }

    MSComm& MSComm1() { return m_comm; }
    const MSComm& MSComm1() const { return m_comm; }
    // Whether an arrival is in its settle wait: a reply is on its way.
    bool Gathering() const { return m_collecting; }

signals:
    // continued: the reply goes on from the one before, which filled the longest read.
    void ReplyArrived(const QByteArray& reply, qint64 answerMs, bool continued);
    // sinceWriteMs: from the link's last timed write to this read; -1 when nothing was written on
    // the link as now opened or connected.
    void BytesRead(const QByteArray& bytes, qint64 sinceWriteMs);
    // The open port's device went away, and the port was closed for it.
    void PortLost(const QString& description);

private:
    void MSComm1_OnComm();
    void handOn();
    // Gives what the port holds a round on the next turn: it announces nothing it already has.
    void roundLater();

    MSComm m_comm;
    bool m_collecting = false;
    bool m_handOn = false;
    bool m_handingOn = false;   // a read is being handed on: what comes meanwhile waits its round
    quint64 m_opening = 0;      // counts OpenPort and ClosePort calls
    QElapsedTimer m_sinceWrite; // invalid until a write on the port as now opened
    qint64 m_longestRead = 0;
    QElapsedTimer m_sinceFullRead; // valid after a read that filled m_longestRead
};
