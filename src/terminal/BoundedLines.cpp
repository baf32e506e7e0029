#include "terminal/BoundedLines.h"

void BoundedLines::Hand(QByteArrayView text, bool last)
{
    const bool first = !m_inLine;
    m_inLine = !last;
    m_sink(text, first, last);
}

void BoundedLines::Feed(QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const qsizetype end = bytes.indexOf('\n');
        if (end >= 0 && m_held.isEmpty() && end <= m_atMost) {
            Hand(bytes.first(end), true);
            bytes = bytes.sliced(end + 1);
            continue;
        }
        const qsizetype take = qMin(end < 0 ? bytes.size() : end, m_atMost - m_held.size());
        m_held.append(bytes.first(take));
        bytes = bytes.sliced(take);
        if (end == take) {
            Hand(m_held, true);
            bytes = bytes.sliced(1);
            m_held.clear();
        } else if (m_held.size() == m_atMost) {
            Hand(m_held, false);
            m_held.clear();
        }
    }
}

void BoundedLines::Finish()
{
    if (!m_held.isEmpty() || m_inLine)
        Hand(m_held, true);
    m_held.clear();
}
