// The serial link over a real pseudo-terminal: the link opens the slave end as its port, the test
// plays the far device on the master end.
#include "links/SerialLink.h"
#include "support/Bytes.h"
#include "support/PtyPair.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace
{

void SetPortDevice(int port, const QString& device)
{
    qputenv(QStringLiteral("ACCESSTERM_COM%1").arg(port).toLatin1().constData(),
            device.toLocal8Bit());
}

// Runs use on the pty's device as a bystander opening it would. A held port refuses other opens
// to anyone but root; the master end then stands in, as it shares the device's line settings.
template <typename Use> bool WithDevice(const PtyPair& pty, int mode, Use use)
{
    const int fd = ::open(pty.slavePath().toLocal8Bit().constData(), mode | O_NOCTTY | O_NONBLOCK);
    const bool ok = use(fd >= 0 ? fd : pty.masterFd());
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// The output speed the device is set to now, or -1 when it cannot be read.
qint64 DeviceSpeed(const PtyPair& pty)
{
    termios tio{};
    if (!WithDevice(pty, O_RDONLY, [&](int fd) { return tcgetattr(fd, &tio) == 0; }))
        return -1;
    return qint64(cfgetospeed(&tio));
}

bool SetDeviceSpeed(const PtyPair& pty, speed_t speed)
{
    return WithDevice(pty, O_RDWR, [&](int fd) {
        termios tio{};
        return tcgetattr(fd, &tio) == 0 && cfsetispeed(&tio, speed) == 0 &&
               cfsetospeed(&tio, speed) == 0 && tcsetattr(fd, TCSANOW, &tio) == 0;
    });
}

double ProcessCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Lets the event loop run, sleeping between events, until ms have passed.
void RunEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

class tst_SerialLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (int port = 1; port <= 16; ++port)
            qunsetenv(QStringLiteral("ACCESSTERM_COM%1").arg(port).toLatin1().constData());
    }
    void init()
    {
        m_pty = std::make_unique<PtyPair>();
        QVERIFY(m_pty->isValid());
        SetPortDevice(3, m_pty->slavePath());
        m_link = std::make_unique<SerialLink>();
        m_replies = std::make_unique<QSignalSpy>(m_link.get(), &SerialLink::ReplyArrived);
    }
    void cleanup()
    {
        m_replies.reset();
        m_link.reset();
        m_pty.reset();
        initTestCase();
    }

    void piecesWithinTheSettleWaitMakeOneReply_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QList<int>>("sentAfterMs");
        QTest::newRow("20 bytes in three pieces")
            << QList<QByteArray>{QByteArray("\x02"
                                            "ABCDEF",
                                            7),
                                 QByteArray("GHI\0JKL", 7), QByteArray("MNOP\r\n", 6)}
            << QList<int>{0, 90, 180};
        QTest::newRow("one byte") << QList<QByteArray>{QByteArray("\x06")} << QList<int>{0};
        QTest::newRow("nothing but zeros")
            << QList<QByteArray>{QByteArray(3, '\0'), QByteArray(2, '\0')} << QList<int>{0, 120};
    }
    void piecesWithinTheSettleWaitMakeOneReply()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QList<int>, sentAfterMs);
        QVERIFY(m_link->OpenPort(3).ok());

        QObject scope;
        QElapsedTimer sinceFirstByte;
        qint64 handedOnAfter = -1;
        connect(m_link.get(), &SerialLink::ReplyArrived, &scope, [&] {
            if (handedOnAfter < 0)
                handedOnAfter = sinceFirstByte.elapsed();
        });
        // The later pieces go out from timers, which run inside the link's settle wait.
        for (int i = 1; i < pieces.size(); ++i) {
            const QByteArray piece = pieces.at(i);
            QTimer::singleShot(sentAfterMs.at(i), Qt::PreciseTimer, &scope,
                               [this, piece] { QVERIFY(m_pty->write(piece)); });
        }
        sinceFirstByte.start();
        QVERIFY(m_pty->write(pieces.at(0)));
        QVERIFY(m_replies->wait(5000));
        QCOMPARE(m_replies->count(), 1);
        QCOMPARE(m_replies->at(0).at(0).toByteArray(), pieces.join());
        QVERIFY2(handedOnAfter >= 300, qPrintable(QString::number(handedOnAfter)));

        // A piece that comes after the reply was drained is a reply of its own.
        QVERIFY(m_pty->write("Z"));
        QVERIFY(m_replies->wait(5000));
        QCOMPARE(m_replies->count(), 2);
        QCOMPARE(m_replies->at(1).at(0).toByteArray(), QByteArray("Z"));
    }

    void everyByteValuePassesBothWays()
    {
        QVERIFY(m_link->OpenPort(3).ok());
        const QByteArray bytes = AllByteValues();

        QVERIFY(m_link->Write(bytes).ok());
        QCOMPARE(m_pty->readExactly(int(bytes.size())), bytes);

        QVERIFY(m_pty->write(bytes));
        QTRY_VERIFY_WITH_TIMEOUT(Joined(*m_replies).size() >= bytes.size(), 5000);
        QCOMPARE(Joined(*m_replies), bytes);
    }

    void aLongBurstArrivesWholeAndOnce()
    {
        QVERIFY(m_link->OpenPort(3).ok());
        QByteArray burst(64 * 1024, Qt::Uninitialized);
        QRandomGenerator random(20261207);
        for (char& byte : burst)
            byte = char(random.bounded(256));

        // The far device sends at its own pace while the link settles and drains on this thread.
        const int master = m_pty->masterFd();
        bool sent = false;
        std::thread device([&] {
            qsizetype done = 0;
            const QDeadlineTimer deadline(10000);
            while (done < burst.size() && !deadline.hasExpired()) {
                const ssize_t n =
                    ::write(master, burst.constData() + done, size_t(burst.size() - done));
                if (n > 0) {
                    done += n;
                } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    break;
                } else {
                    pollfd p{master, POLLOUT, 0};
                    poll(&p, 1, 50);
                }
            }
            sent = done == burst.size();
        });
        QTRY_VERIFY_WITH_TIMEOUT(Joined(*m_replies).size() >= burst.size(), 20000);
        device.join();
        QVERIFY(sent);
        // A marker after the burst: once it is in, anything doubled would be in too.
        QVERIFY(m_pty->write("END"));
        QTRY_VERIFY_WITH_TIMEOUT(Joined(*m_replies).endsWith("END"), 5000);
        QVERIFY(Joined(*m_replies) == burst + "END");
    }

    void openingTheOpenPortAgainReopensIt()
    {
        QVERIFY(m_link->OpenPort(3).ok());
        QCOMPARE(DeviceSpeed(*m_pty), qint64(B4800));
        // Someone else changes the line; only a fresh open puts the link's settings back.
        QVERIFY(SetDeviceSpeed(*m_pty, B9600));
        QCOMPARE(DeviceSpeed(*m_pty), qint64(B9600));

        const LinkResult again = m_link->OpenPort(3);
        QVERIFY2(again.ok(), qPrintable(again.description()));
        QVERIFY(m_link->IsOpen());
        QCOMPARE(DeviceSpeed(*m_pty), qint64(B4800));

        QVERIFY(m_link->Write("ping").ok());
        QCOMPARE(m_pty->readExactly(4), QByteArray("ping"));
        QVERIFY(m_pty->write("pong"));
        QVERIFY(m_replies->wait(5000));
        QCOMPARE(Joined(*m_replies), QByteArray("pong"));
    }

    void lineSpeed_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<bool>("appliedWhileOpen");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<qint64>("speed");
        QTest::newRow("start-up") << 0 << false << "4800,n,8,1" << qint64(B4800);
        QTest::newRow("115200 while open") << 115200 << true << "115200,n,8,1" << qint64(B115200);
        QTest::newRow("115200 while closed")
            << 115200 << false << "115200,n,8,1" << qint64(B115200);
        QTest::newRow("9600 while open") << 9600 << true << "9600,n,8,1" << qint64(B9600);
        QTest::newRow("1200 while closed") << 1200 << false << "1200,n,8,1" << qint64(B1200);
    }
    void lineSpeed()
    {
        QFETCH(int, baud);
        QFETCH(bool, appliedWhileOpen);
        QFETCH(QString, settings);
        QFETCH(qint64, speed);
        const QString device = m_pty->slavePath();

        if (appliedWhileOpen) {
            QVERIFY(m_link->OpenPort(3).ok());
            QCOMPARE(DeviceSpeed(*m_pty), qint64(B4800));
        }
        if (baud > 0) {
            const LinkResult applied = m_link->ApplySettings(baud);
            QVERIFY2(applied.ok(), qPrintable(applied.description()));
        }
        QCOMPARE(m_link->IsOpen(), appliedWhileOpen);
        QCOMPARE(m_link->MSComm1().Settings(), settings);
        if (!appliedWhileOpen)
            QVERIFY(m_link->OpenPort(3).ok());
        QCOMPARE(DeviceSpeed(*m_pty), speed);

        // The settings stay through closing and opening, on another port number too.
        m_link->ClosePort();
        QVERIFY(!m_link->IsOpen());
        SetPortDevice(5, device);
        QVERIFY(m_link->OpenPort(5).ok());
        QCOMPARE(m_link->MSComm1().Settings(), settings);
        QCOMPARE(DeviceSpeed(*m_pty), speed);

        QVERIFY(m_link->Write("OK").ok());
        QCOMPARE(m_pty->readExactly(2), QByteArray("OK"));
    }

    void openFailuresNameThePortTheDeviceAndTheReason_data()
    {
        QTest::addColumn<bool>("missingDevice");
        QTest::addColumn<bool>("openBefore");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing device") << true << false << "No such device";
        QTest::newRow("missing device, a port open before") << true << true << "No such device";
        QTest::newRow("device held by another open") << false << false << "in use";
        QTest::newRow("device held, a port open before") << false << true << "in use";
    }
    void openFailuresNameThePortTheDeviceAndTheReason()
    {
        QFETCH(bool, missingDevice);
        QFETCH(bool, openBefore);
        QFETCH(QString, reason);

        PtyPair other;
        QVERIFY(other.isValid());
        SetPortDevice(4, other.slavePath());
        SerialLink holder;
        const QTemporaryDir gone;
        QString device;
        if (missingDevice) {
            QVERIFY(gone.isValid());
            device = gone.filePath(QStringLiteral("ttyGone"));
        } else {
            device = m_pty->slavePath();
            QVERIFY(holder.OpenPort(3).ok());
        }
        SetPortDevice(7, device);
        SerialLink link;
        if (openBefore)
            QVERIFY(link.OpenPort(4).ok());

        const LinkResult result = link.OpenPort(7);
        QVERIFY(!result.ok());
        const QString text = result.description();
        QVERIFY2(text.startsWith(QStringLiteral("Comport 7 (") + device + QStringLiteral("): ")),
                 qPrintable(text));
        QVERIFY2(text.contains(reason, Qt::CaseInsensitive), qPrintable(text));
        // Nothing about group membership when the user may use the device.
        QVERIFY2(!text.contains(QStringLiteral("dialout")), qPrintable(text));
        QVERIFY(!link.IsOpen());
        QVERIFY(!link.Write("X").ok());

        if (!missingDevice) {
            // The open that holds the device is not disturbed.
            QVERIFY(holder.IsOpen());
            QSignalSpy heldReplies(&holder, &SerialLink::ReplyArrived);
            QVERIFY(m_pty->write("still here"));
            QVERIFY(heldReplies.wait(5000));
            QCOMPARE(Joined(heldReplies), QByteArray("still here"));
        }
        // The next open starts afresh.
        QVERIFY(link.OpenPort(4).ok());
        QVERIFY(link.IsOpen());
    }

    void writingWhileClosedIsRefused_data()
    {
        QTest::addColumn<QString>("history");
        QTest::newRow("never opened") << "";
        QTest::newRow("closed") << "open,close";
        QTest::newRow("open failed") << "open,fail";
    }
    void writingWhileClosedIsRefused()
    {
        QFETCH(QString, history);
        if (history.contains(QLatin1String("open")))
            QVERIFY(m_link->OpenPort(3).ok());
        if (history.contains(QLatin1String("close")))
            m_link->ClosePort();
        if (history.contains(QLatin1String("fail")))
            QVERIFY(!m_link->OpenPort(9).ok());
        QVERIFY(!m_link->IsOpen());

        const LinkResult result = m_link->Write("ABC");
        QVERIFY(!result.ok());
        QVERIFY2(result.description().contains(QStringLiteral("port is not open")),
                 qPrintable(result.description()));
        QCOMPARE(m_pty->readAvailable(), QByteArray());
    }

    void farEndGoneDuringAReply_data()
    {
        QTest::addColumn<bool>("duringSettleWait");
        QTest::newRow("during the settle wait") << true;
        QTest::newRow("as the reply is handed on") << false;
    }
    void farEndGoneDuringAReply()
    {
        QFETCH(bool, duringSettleWait);
        QVERIFY(m_link->OpenPort(3).ok());

        QObject scope;
        double cpuAtClose = 0;
        QElapsedTimer sinceClose;
        bool waitingForTheBurst = false;
        const auto goAway = [&] {
            cpuAtClose = ProcessCpuSeconds();
            sinceClose.start();
            m_pty->closeMaster();
        };
        if (duringSettleWait) {
            QTimer::singleShot(100, Qt::PreciseTimer, &scope, [&] {
                // Bytes wait in the port and no reply is out yet: the link is settling.
                waitingForTheBurst =
                    m_link->MSComm1().InBufferCount() > 0 && m_replies->count() == 0;
                goAway();
            });
        } else {
            connect(m_link.get(), &SerialLink::ReplyArrived, &scope, [&] {
                if (!sinceClose.isValid())
                    goAway();
            });
        }
        QVERIFY(m_pty->write("ABC"));
        QTRY_VERIFY_WITH_TIMEOUT(sinceClose.isValid(), 5000);
        if (duringSettleWait)
            QVERIFY(waitingForTheBurst);
        // Wait for the port to notice, then watch a while longer: whatever the line does now
        // must not keep the process busy. The load is judged before the port state, so that a
        // port left open under a storm of errors shows as the storm it is.
        const QDeadlineTimer closedBy(5000);
        while (m_link->IsOpen() && !closedBy.hasExpired())
            QTest::qWait(10);
        RunEventLoopFor(1000);
        const double cpu = ProcessCpuSeconds() - cpuAtClose;
        const double wall = double(sinceClose.elapsed()) / 1000.0;
        QVERIFY2(cpu < 0.5 * wall,
                 qPrintable(QStringLiteral("%1 s CPU in %2 s").arg(cpu).arg(wall)));

        QVERIFY(!m_link->IsOpen());
        // What the port had read before the line went is handed on, once.
        QCOMPARE(m_replies->count(), 1);
        QCOMPARE(Joined(*m_replies), QByteArray("ABC"));
        const LinkResult write = m_link->Write("X");
        QVERIFY(!write.ok());
        QVERIFY2(write.description().contains(QStringLiteral("port is not open")),
                 qPrintable(write.description()));

        // The terminal carries on: a new line on the same port number works.
        PtyPair next;
        QVERIFY(next.isValid());
        SetPortDevice(3, next.slavePath());
        QVERIFY(m_link->OpenPort(3).ok());
        QVERIFY(next.write("again"));
        QTRY_VERIFY_WITH_TIMEOUT(Joined(*m_replies).endsWith("again"), 5000);
    }

private:
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<QSignalSpy> m_replies;
};

QTEST_MAIN(tst_SerialLink)
#include "tst_seriallink.moc"
