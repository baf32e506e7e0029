#include "terminal/TextFileRead.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace
{

QString NotRegular(mode_t mode)
{
    const QString what = S_ISDIR(mode)                    ? QStringLiteral("a directory")
                         : S_ISFIFO(mode)                 ? QStringLiteral("a named pipe")
                         : S_ISCHR(mode) || S_ISBLK(mode) ? QStringLiteral("a device")
                                                          : QStringLiteral("not a file");
    return what + QStringLiteral(", not a regular file");
}

} // namespace

TextFileRead ReadTextFile(const QString& path, qint64 atMost)
{
    TextFileRead read;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            read.failure = qt_error_string(errno);
        return read;
    }
    QFile file;
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    struct stat status = {};
    ::fstat(fd, &status); // of a descriptor just opened: it cannot fail
    if (!S_ISREG(status.st_mode))
        read.failure = NotRegular(status.st_mode);
    else if (status.st_size > atMost)
        read.failure = atMost >= (qint64(1) << 20)
                           ? QStringLiteral("%1 bytes, more than the %2 MiB read at most")
                                 .arg(status.st_size)
                                 .arg(atMost >> 20)
                           : QStringLiteral("%1 bytes, more than the %2 KiB read at most")
                                 .arg(status.st_size)
                                 .arg(atMost >> 10);
    else if (read.content = file.readAll(); file.error() != QFileDevice::NoError)
        read.failure = file.errorString();
    return read;
}
