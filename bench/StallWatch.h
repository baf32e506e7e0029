#pragma once

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QObject>

#include <algorithm>
#include <chrono>

// The longest time the UI thread goes without going back to wait for events, nested event loops
// (the settle wait) included: from the first event it handles after a wait to the dispatcher's
// next aboutToBlock. The dispatcher's awake cannot mark the start: it comes before the wait, and
// timers and socket notifiers fire after it without another. Only a clock read when the thread
// turns from waiting to working is added to what is measured.
class StallWatch : public QObject
{
public:
    using Clock = std::chrono::steady_clock;

    StallWatch()
    {
        qApp->installEventFilter(this);
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                &StallWatch::settle);
    }
    // Starts a new measurement; the time the caller has spent so far does not count.
    void start()
    {
        m_since = Clock::now();
        m_longestMs = 0;
    }
    double longestMs()
    {
        settle();
        m_busy = true;
        m_since = Clock::now();
        return m_longestMs;
    }

protected:
    bool eventFilter(QObject*, QEvent*) override
    {
        if (!m_busy) {
            m_busy = true;
            m_since = Clock::now();
        }
        return false;
    }

private:
    void settle()
    {
        if (m_busy)
            m_longestMs =
                std::max(m_longestMs,
                         std::chrono::duration<double, std::milli>(Clock::now() - m_since).count());
        m_busy = false;
    }

    bool m_busy = true;
    Clock::time_point m_since = Clock::now();
    double m_longestMs = 0;
};
