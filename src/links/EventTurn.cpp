#include "links/EventTurn.h"

#include <QEventLoop>
#include <QTimer>

void EventTurn()
{
    // A timer of its own, not a posted call: the loop then goes back to the dispatcher's wait,
    // which takes input as it comes, before the timer ends the turn.
    QEventLoop loop;
    QTimer done;
    done.setSingleShot(true);
    QObject::connect(&done, &QTimer::timeout, &loop, &QEventLoop::quit);
    done.start(0);
    loop.exec();
}
