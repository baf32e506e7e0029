#pragma once

#include <QObject>
#include <QSocketNotifier>

// Turns SIGTERM, SIGINT and SIGHUP into stopRequested on the thread that made this object, so a
// stop from a logout, a kill or Ctrl+C closes the links (and frees the serial port's lock) as
// closing the window does. The handler only writes the signal's number to a socket pair, which
// is all that is safe inside a signal handler. A second signal ends the program at once, as the
// signal would with no handler: whatever held it from the first. One object at a time; the
// handlers go with it.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

signals:
    void stopRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};
