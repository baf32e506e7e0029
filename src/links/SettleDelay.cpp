#include "links/SettleDelay.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

void SettleDelay(int ms)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
    // A precise timer may still wake a little early; loop until the clock is really past.
    while (clock.elapsed() <= ms) {
        wake.start(int(ms + 1 - clock.elapsed()));
        loop.exec();
    }
}
