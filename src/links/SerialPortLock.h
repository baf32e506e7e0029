#pragma once

#include <QString>

// The lock file that keeps two programs off one serial device: LCK..<name> in the system's lock
// folder, where the serial port takes it while open (the environment variable
// ACCESSTERM_LOCK_DIR names another folder to look in, for tests). Read before an open, so that
// the operator learns who holds the port and a lock left by a process that has gone is cleared.
class SerialPortLock
{
public:
    explicit SerialPortLock(const QString& device);

    QString path() const { return m_path; }
    // Why the device may not be opened now, or empty when no running process holds it. A lock
    // whose process has gone is removed on the way, when this user may remove it.
    QString Refusal() const;

private:
    QString m_path;
};
