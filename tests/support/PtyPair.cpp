#include "support/PtyPair.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0)
        return;
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        closeMaster();
        return;
    }
    m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
    // Raw on the master side too, so no byte is translated on the way to the test.
    termios tio{};
    if (tcgetattr(m_master, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_master, TCSANOW, &tio);
    }
}

PtyPair::~PtyPair()
{
    closeMaster();
}

bool PtyPair::write(const QByteArray& bytes)
{
    qsizetype done = 0;
    QElapsedTimer clock;
    clock.start();
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (clock.elapsed() > 10000)
            return false;
        // The line is full: let the reader (the link, on this thread) take some.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{m_master, POLLOUT, 0};
        poll(&p, 1, 5);
    }
    return true;
}

QByteArray PtyPair::readAvailable()
{
    QByteArray out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, n);
    }
    return out;
}

QByteArray PtyPair::readExactly(int count, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (out.size() < count && clock.elapsed() < timeoutMs) {
        out += readAvailable();
        if (out.size() >= count)
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{m_master, POLLIN, 0};
        poll(&p, 1, 5);
    }
    return out;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
