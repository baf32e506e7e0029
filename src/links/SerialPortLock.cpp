#include "links/SerialPortLock.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <cerrno>
#include <csignal>
#include <limits>

namespace
{

// The folders the serial port tries for its lock, in its order: the first it may read, and
// write or find the lock in.
QString LockFolder(const QString& fileName)
{
    const QString chosen = qEnvironmentVariable("ACCESSTERM_LOCK_DIR");
    if (!chosen.isEmpty())
        return chosen;
    for (const char* folder : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                               "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"}) {
        const QFileInfo info(QString::fromLatin1(folder));
        if (info.isReadable() && (QFile::exists(info.filePath() + fileName) || info.isWritable()))
            return info.canonicalFilePath();
    }
    return {};
}

// What the system calls a running process, empty when it cannot say.
QString ProcessName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed())
                                          : QString();
}

} // namespace

SerialPortLock::SerialPortLock(const QString& device)
{
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name = QStringLiteral("/LCK..") + name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString folder = LockFolder(name);
    if (!folder.isEmpty())
        m_path = folder + name;
}

QString SerialPortLock::Refusal() const
{
    QFile file(m_path);
    if (m_path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    // The holder's process number, then the name of its program; some programs write the
    // number alone.
    const qint64 pid = file.readLine().trimmed().toLongLong();
    const QString name = QString::fromUtf8(file.readLine().trimmed());
    file.close();
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return {}; // no lock this terminal can read: the open itself decides
    if (::kill(pid_t(pid), 0) == 0 || errno == EPERM) {
        const QString running = ProcessName(pid);
        // A number since taken by another program means the holder has gone.
        if (name.isEmpty() || running.isEmpty() || name.startsWith(running)) {
            const QString holder = name.isEmpty() ? running : name;
            return QStringLiteral("in use by %1(process %2)")
                .arg(holder.isEmpty() ? QString() : holder + QLatin1Char(' '))
                .arg(pid);
        }
    }
    // Removed only while no process holds the file, as the serial port's own lock is.
    if (QLockFile(m_path).removeStaleLockFile() || !QFile::exists(m_path))
        return {};
    const QFileInfo info(m_path);
    return QStringLiteral(
               "locked by process %1, which is no longer running; remove %2 (owned by %3)")
        .arg(pid)
        .arg(m_path, info.owner().isEmpty() ? QString::number(info.ownerId()) : info.owner());
}
