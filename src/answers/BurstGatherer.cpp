#include "answers/BurstGatherer.h"

BurstGatherer::BurstGatherer(int gapMs, QObject* parent) : QObject(parent)
{
    m_gap.setSingleShot(true);
    m_gap.setInterval(gapMs);
    connect(&m_gap, &QTimer::timeout, this, &BurstGatherer::Flush);
}

void BurstGatherer::Feed(const QByteArray& bytes)
{
    m_gap.start();
    if (!m_overflowing && m_burst.size() + bytes.size() <= kHeldBytes) {
        m_burst += bytes;
        return;
    }
    m_overflowing = true;
    const QByteArray piece = m_burst + bytes;
    m_burst.clear();
    emit Burst(piece, false);
}

void BurstGatherer::Flush()
{
    m_gap.stop();
    const bool whole = !m_overflowing;
    m_overflowing = false;
    if (!m_burst.isEmpty())
        emit Burst(std::exchange(m_burst, {}), whole);
}
