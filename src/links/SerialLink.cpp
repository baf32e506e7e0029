#include "links/SerialLink.h"

#include "links/SettleDelay.h"

#include <QTimer>

SerialLink::SerialLink(QObject* parent) : QObject(parent)
{
    connect(&m_comm, &MSComm::OnComm, this, &SerialLink::MSComm1_OnComm);
    connect(&m_comm, &MSComm::PortLost, this, [this](const QString& description) {
        // What the port read before its device went is handed on before the loss is told.
        if (m_handOn && !m_collecting && !m_handingOn && m_comm.InBufferCount() != 0)
            handOn();
        emit PortLost(description);
    });
}

bool SerialLink::IsOpen() const
{
    return m_comm.PortOpen();
}

LinkResult SerialLink::OpenPort(int port)
{
    ++m_opening;
    if (m_comm.PortOpen()) {
        m_comm.SetPortOpen(false);
    }
    m_sinceWrite.invalidate();
    m_sinceFullRead.invalidate();
    m_comm.SetCommPort(port);
    const LinkResult result = m_comm.SetPortOpen(true);
    if (!result.ok() && m_comm.PortOpen()) {
        m_comm.SetPortOpen(false);
    }
    return result;
}

LinkResult SerialLink::OpenDevice(const QString& device)
{
    ClosePort();
    m_comm.SetCommPort(0);
    const LinkResult result = m_comm.OpenDevice(device);
    if (!result.ok()) {
        ClosePort();
    }
    return result;
}

void SerialLink::ClosePort()
{
    ++m_opening;
    m_sinceWrite.invalidate();
    m_sinceFullRead.invalidate();
    if (m_comm.PortOpen()) {
        m_comm.SetPortOpen(false);
    }
}

LinkResult SerialLink::ApplySettings(qint32 baud, const SerialFrame& frame)
{
    return m_comm.SetSettings(frame.settings(baud));
}

qint32 SerialLink::Baud() const
{
    return m_comm.Settings().section(QLatin1Char(','), 0, 0).toInt();
}

void SerialLink::SetLongestRead(qint64 bytes)
{
    m_longestRead = bytes;
    m_comm.SetInBufferSize(bytes);
}

void SerialLink::SetHandOnAsRead(bool on)
{
    m_handOn = on;
    roundLater();
}

LinkResult SerialLink::Write(const QByteArray& bytes, bool timed)
{
    const LinkResult written = m_comm.Output(bytes);
    if (written.ok() && timed)
        m_sinceWrite.start();
    return written;
}

void SerialLink::MSComm1_OnComm()
{
    if (m_comm.CommEvent() != MSComm::comEvReceive) {
        return;
    }
    // Arrivals during the settle wait belong to the burst being collected.
    if (m_collecting || m_handingOn) {
        return;
    }
    if (m_handOn) {
        handOn();
        return;
    }
    m_collecting = true;
    // Timed at the first piece: the settle wait is the terminal's, not the controller's. Only
    // what came on the opening the wait began on: when the port is opened again meanwhile, what
    // the new opening has already received gets a wait of its own.
    qint64 answerMs = -1;
    // Bytes that come within a settle wait of a read that took a whole piece are the same burst.
    const bool continued = m_sinceFullRead.isValid() && m_sinceFullRead.elapsed() <= 300;
    for (;;) {
        const quint64 opening = m_opening;
        answerMs = m_sinceWrite.isValid() && !continued ? m_sinceWrite.elapsed() : -1;
        SettleDelay(300);
        if (opening == m_opening)
            break;
        if (m_comm.InBufferCount() == 0) {
            m_collecting = false;
            return;
        }
    }
    QByteArray reply = m_comm.Input();
    while (m_comm.InBufferCount() != 0) {
        reply += m_comm.Input();
    }
    // Still collecting while the reply is handed on: the log renders a long one a slice at a
    // time, and what arrives meanwhile is the next reply, not one nested inside this.
    const quint64 opening = m_opening;
    if (!reply.isEmpty()) {
        emit ReplyArrived(reply, answerMs, continued);
    }
    // Timed from the hand-over: a reply that takes long to show does not end the burst.
    if (opening == m_opening && m_longestRead > 0 && reply.size() >= m_longestRead)
        m_sinceFullRead.start();
    else
        m_sinceFullRead.invalidate();
    m_collecting = false;
    // The port announces nothing it took in while the reply was handed on: that gets a round now.
    roundLater();
}

void SerialLink::handOn()
{
    m_handingOn = true;
    m_sinceFullRead.invalidate();
    const quint64 opening = m_opening;
    const qint64 sinceWrite = m_sinceWrite.isValid() ? m_sinceWrite.elapsed() : -1;
    const QByteArray read = m_comm.Input();
    // The port holds at most the longest read, but what it kept from a lost device comes with it.
    const qsizetype piece = m_longestRead > 0 ? qsizetype(m_longestRead) : read.size();
    for (qsizetype at = 0; at < read.size() && opening == m_opening; at += piece)
        emit BytesRead(read.sliced(at, qMin(piece, read.size() - at)), sinceWrite);
    m_handingOn = false;
    roundLater();
}

void SerialLink::roundLater()
{
    if (m_comm.InBufferCount() == 0)
        return;
    QTimer::singleShot(0, this, [this] {
        if (m_comm.InBufferCount() != 0)
            MSComm1_OnComm();
    });
}
