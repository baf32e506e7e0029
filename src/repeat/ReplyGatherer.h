#pragma once

#include "repeat/ReplyCutter.h"
#include "terminal/ReplyCheck.h"

#include <QByteArray>
#include <QByteArrayView>

class CheckChoice;

// One send's reply, gathered from the bytes read after it. Without a cutter the reply is complete
// once its settle time has passed (the caller's timer); with one, as soon as a frame is cut.
class ReplyGatherer
{
public:
    explicit ReplyGatherer(const CheckChoice& checks) : m_checks(checks) {}

    // Counts frames from now on (none: bursts); the cutter stays the caller's.
    void SetCutter(ReplyCutter* cutter);
    ReplyCutter* cutter() const { return m_cutter; }
    const CheckChoice& checks() const { return m_checks; }

    // Adds the bytes of a read; true when they complete the reply (a frame was cut).
    bool Add(QByteArrayView bytes);
    bool isEmpty() const { return m_bytes.isEmpty(); }
    qsizetype frames() const { return m_frames; }
    // The verdict on the reply's check value: with a cutter, the first frame's that failed (or
    // the first frame's); else the check value chosen, over the whole reply.
    ReplyCheck Check() const;
    // The reply's bytes, every byte read since the last take; the next reply begins.
    QByteArray Take();

private:
    const CheckChoice& m_checks;
    ReplyCutter* m_cutter = nullptr;
    QByteArray m_bytes;
    qsizetype m_frames = 0;
    ReplyCheck m_frameCheck; // with a cutter: the verdict so far
};
