#pragma once

#include "terminal/ReplyCheck.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Cuts a protocol's frames out of the bytes as they are read, so that a repeat counts frames, not
// bursts: a reply is complete with its first frame, at once, and its check value is the frame's
// own.
class ReplyCutter
{
public:
    struct Frame {
        QByteArray bytes;
        ReplyCheck check; // the frame's own check value, when the protocol has one
    };

    virtual ~ReplyCutter() = default;
    // Takes the bytes of one read; gives the frames they complete, in order. Bytes that begin a
    // frame are kept for the reads that follow.
    virtual QList<Frame> Feed(QByteArrayView bytes) = 0;
    // Forgets a frame begun: the repeat starts afresh.
    virtual void Reset() = 0;
};
