#pragma once

#include "repeat/ReplyCutter.h"

#include <QObject>

class FrameReader;

// A repeat's frames as a protocol's frame reader cuts them: each frame the reader completes while
// it takes a read's bytes, with the frame's own check value. Bytes that no frame takes still
// belong to the reply, and count as no frame.
class FrameReplyCutter : public QObject, public ReplyCutter
{
    Q_OBJECT
public:
    explicit FrameReplyCutter(FrameReader& reader, QObject* parent = nullptr);

    QList<Frame> Feed(QByteArrayView bytes) override;
    // The reader keeps its own state: a frame begun goes on with the next read.
    void Reset() override { m_cut.clear(); }

private:
    FrameReader& m_reader;
    QList<Frame> m_cut;
};
