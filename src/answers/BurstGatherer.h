#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

// Gathers the bytes that come into bursts, a burst ending after a gap of silence. At most
// kHeldBytes of a burst are held: past that what comes is handed on as it comes, unmatched.
class BurstGatherer : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype kHeldBytes = qsizetype(16) << 20;

    explicit BurstGatherer(int gapMs, QObject* parent = nullptr);

    void Feed(const QByteArray& bytes);
    // Ends the burst being gathered now, as its gap would.
    void Flush();
    bool Gathering() const { return !m_burst.isEmpty() || m_overflowing; }

signals:
    // whole: the burst was held whole and may be matched; false for the pieces of a flood.
    void Burst(const QByteArray& bytes, bool whole);

private:
    QByteArray m_burst;
    bool m_overflowing = false;
    QTimer m_gap;
};
