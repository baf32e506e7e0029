#pragma once

#include <QByteArray>
#include <QString>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

// A real pseudo-terminal pair for serial tests: the link opens slavePath() as its device (through
// the ACCESSTERM_COM<n> override), the test plays the far device on the master end. A program the
// test starts does not inherit the master, so closing it takes the line away.
class PtyPair
{
public:
    PtyPair() : m_master(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        // Raw on the master side too, so no byte is translated on the way to the test.
        termios tio{};
        if (grantpt(m_master) == 0 && unlockpt(m_master) == 0 && tcgetattr(m_master, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(m_master, TCSANOW, &tio);
            m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
        }
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }
    // Writes all bytes as the far device; while the line is full the link reads meanwhile.
    bool write(const QByteArray& bytes)
    {
        qsizetype done = 0;
        return QTest::qWaitFor(
            [&] {
                const ssize_t n =
                    ::write(m_master, bytes.data() + done, size_t(bytes.size() - done));
                return (done += qMax<ssize_t>(n, 0)) == bytes.size();
            },
            10000);
    }
    // What the far device has read once count bytes have come, or after 5 s.
    QByteArray readExactly(int count)
    {
        QByteArray out(count, '\0');
        qsizetype got = 0;
        (void)QTest::qWaitFor([&] {
            got += qMax<ssize_t>(::read(m_master, out.data() + got, size_t(count - got)), 0);
            return got == count;
        });
        return out.left(got);
    }
    // The far end of the line goes away.
    void closeMaster() { ::close(std::exchange(m_master, -1)); }

private:
    int m_master;
    QString m_slavePath;
};
