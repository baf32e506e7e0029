#include "repeat/ReplyGatherer.h"

#include "terminal/CheckChoice.h"

void ReplyGatherer::SetCutter(ReplyCutter* cutter)
{
    m_cutter = cutter;
    if (m_cutter)
        m_cutter->Reset();
}

bool ReplyGatherer::Add(QByteArrayView bytes)
{
    m_bytes += bytes;
    if (!m_cutter)
        return false;
    const QList<ReplyCutter::Frame> frames = m_cutter->Feed(bytes);
    for (const ReplyCutter::Frame& frame : frames) {
        if (m_frames++ == 0 || (frame.check.failed && !m_frameCheck.failed))
            m_frameCheck = frame.check;
    }
    return !frames.isEmpty();
}

ReplyCheck ReplyGatherer::Check() const
{
    return m_cutter ? m_frameCheck : m_checks.verify(m_bytes);
}

QByteArray ReplyGatherer::Take()
{
    m_frames = 0;
    m_frameCheck = {};
    return std::exchange(m_bytes, {});
}
