// The serial link and its control over a real pseudo-terminal: the link opens the slave end as its
// port, the test plays the far device on the master end.
#include "support/PtyPair.h"
#include "support/Terminal.h"

#include <QtTest>

#include <sys/resource.h>

namespace
{

double CpuSeconds()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

} // namespace

class tst_SerialLink : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_pty = std::make_unique<PtyPair>();
        SetPortDevice(3, m_pty->slavePath());
        m_link = std::make_unique<SerialLink>();
        m_replies = std::make_unique<QSignalSpy>(m_link.get(), &SerialLink::ReplyArrived);
        QVERIFY(m_link->OpenPort(3).ok());
    }

    void portNumbersMapToDevices()
    {
        const QStringList present = {"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB3", "/dev/ttyACM0"};
        SetPortDevice(2, "/dev/pts/78"); // the override wins for its own port only
        const QStringList expected = {
            "", "", "/dev/ttyS0", "/dev/pts/78", m_pty->slavePath(), "/dev/ttyACM0", ""};
        for (int port = -1; port <= 5; ++port)
            QCOMPARE(MSComm::DeviceForPort(port, present), expected.at(port + 1));
        QCOMPARE(MSComm::DescribeOpenFailure(1, "/dev/ttyUSB0", QSerialPort::PermissionError,
                                             "Permission denied"),
                 QString::fromUtf8("Comport 1 (/dev/ttyUSB0): Permission denied — add your user to "
                                   "the dialout group"));
        QCOMPARE(MSComm::DescribeOpenFailure(16, {}, QSerialPort::DeviceNotFoundError, {}),
                 "Comport 16: no serial device for this port");
    }

    void lineSettings()
    {
        // 4800 baud, 8 data bits, no parity, one stop bit from the start.
        termios tio{}; // the master end's ioctls act on the slave's line settings
        QVERIFY(tcgetattr(m_pty->masterFd(), &tio) == 0 && cfgetospeed(&tio) == B4800);
        QCOMPARE(tio.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));
        // Someone else changes the line: opening the open port again reopens it as it was.
        cfsetospeed(&tio, B9600);
        tcsetattr(m_pty->masterFd(), TCSANOW, &tio);
        QVERIFY(m_link->OpenPort(3).ok());
        QCOMPARE(deviceSpeed(), speed_t(B4800));

        MSComm& comm = m_link->MSComm1();
        QVERIFY(m_link->ApplySettings(115200).ok());
        QCOMPARE(comm.Settings(), "115200,n,8,1");
        for (const char* refused : {"", ",n,8,1", "0,n,8,1", "-9600,n,8,1", "9600,x,8,1",
                                    "9600,n,9,1", "9600,n,4,1", "9600,n,8,3", "9600,n,8"})
            QVERIFY2(!comm.SetSettings(refused).ok() && comm.Settings() == "115200,n,8,1", refused);
        QCOMPARE(deviceSpeed(), speed_t(B115200));
        // Kept while closed and through opening another port number on the same device.
        m_link->ClosePort();
        QVERIFY(!m_link->IsOpen() && m_link->ApplySettings(1200).ok());
        SetPortDevice(5, m_pty->slavePath());
        QVERIFY(m_link->OpenPort(5).ok());
        QCOMPARE(deviceSpeed(), speed_t(B1200));
        QVERIFY(m_link->Write("OK").ok());
        QCOMPARE(m_pty->readExactly(2), "OK");
    }

    void piecesWithinTheSettleWaitMakeOneReply()
    {
        QElapsedTimer sinceFirstByte;
        qint64 handedOnAfter = -1;
        connect(m_link.get(), &SerialLink::ReplyArrived, this,
                [&] { handedOnAfter = sinceFirstByte.elapsed(); });
        // The later pieces go out from timers, which run inside the link's settle wait.
        QTimer::singleShot(90, this, [&] { m_pty->write(QByteArray("GHI\0JKL", 7)); });
        QTimer::singleShot(180, this, [&] { m_pty->write("MNOP\r\n"); });
        const double cpu = CpuSeconds();
        sinceFirstByte.start();
        QVERIFY(m_pty->write("\002ABCDEF"));
        QVERIFY(m_replies->wait(5000));
        QCOMPARE(Joined(*m_replies), QByteArray("\002ABCDEFGHI\0JKLMNOP\r\n", 20));
        QVERIFY2(handedOnAfter >= 300, qPrintable(QString::number(handedOnAfter)));
        QVERIFY2(CpuSeconds() - cpu < 0.1, "the settle wait sleeps rather than spinning");
        // A piece that comes after the reply was drained is a reply of its own.
        QVERIFY(m_pty->write("Z"));
        QVERIFY(m_replies->wait(5000));
        QCOMPARE(m_replies->count(), 2);
    }

    void everyByteValuePassesBothWaysWholeAndOnce()
    {
        QByteArray bytes;
        for (int i = 0; i < 64 * 256; ++i)
            bytes += char(i);
        QVERIFY(m_link->Write(bytes.left(256)).ok());
        QCOMPARE(m_pty->readExactly(256), bytes.left(256));
        // More than the line holds at once: the writer waits while the link drains.
        QVERIFY(m_pty->write(bytes + "END"));
        QTRY_VERIFY_WITH_TIMEOUT(Joined(*m_replies).endsWith("END"), 10000);
        QVERIFY(Joined(*m_replies) == bytes + "END");
    }

    void openFailuresNameThePortTheDeviceAndTheReason()
    {
        PtyPair other;
        SetPortDevice(4, other.slavePath());
        const QTemporaryDir dir;
        SetPortDevice(7, dir.filePath("ttyGone"));
        SetPortDevice(8, m_pty->slavePath()); // held by m_link
        SerialLink link;
        for (const auto& [port, device, reason] :
             {std::tuple(7, dir.filePath("ttyGone"), "No such device"),
              std::tuple(8, m_pty->slavePath(), "in use")}) {
            QVERIFY(link.OpenPort(4).ok());
            const QString text = link.OpenPort(port).description();
            QVERIFY2(text.startsWith(QString("Comport %1 (%2): ").arg(port).arg(device)) &&
                         text.contains(reason) && !text.contains("dialout"),
                     qPrintable(text));
            // The port open before is closed, and nothing is written.
            QVERIFY(!link.IsOpen());
            QCOMPARE(link.Write("X").description(), "port is not open");
        }
        // The open that holds the device is not disturbed.
        QVERIFY(m_pty->write("still here"));
        QVERIFY(m_replies->wait(5000));
        QCOMPARE(Joined(*m_replies), "still here");
    }

    void farEndGoneDuringTheSettleWait()
    {
        double cpuAtClose = -1;
        QElapsedTimer sinceClose;
        QTimer::singleShot(100, this, [&] {
            cpuAtClose = CpuSeconds();
            sinceClose.start();
            m_pty->closeMaster();
        });
        QVERIFY(m_pty->write("ABC"));
        QTRY_VERIFY(cpuAtClose >= 0 && !m_link->IsOpen());
        // Watch a while longer: a line that is gone must not keep the process busy.
        QTest::qWait(1000);
        const double cpu = CpuSeconds() - cpuAtClose;
        QVERIFY2(cpu < 0.0005 * double(sinceClose.elapsed()), qPrintable(QString::number(cpu)));
        // What the port had read before the line went is handed on, once.
        QCOMPARE(Joined(*m_replies), "ABC");
        QCOMPARE(m_replies->count(), 1);
        const QString refused = m_link->Write("X").description();
        QVERIFY2(refused.startsWith("port is not open") && refused.contains("was lost"),
                 qPrintable(refused));
        // The terminal carries on: a new line on the same port number works.
        PtyPair next;
        SetPortDevice(3, next.slavePath());
        QVERIFY(m_link->OpenPort(3).ok());
        QVERIFY(next.write("again"));
        QTRY_VERIFY(Joined(*m_replies).endsWith("again"));
    }

private:
    speed_t deviceSpeed() const
    {
        termios tio{};
        tcgetattr(m_pty->masterFd(), &tio);
        return cfgetospeed(&tio);
    }

    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<QSignalSpy> m_replies;
};

QTEST_MAIN(tst_SerialLink)
#include "tst_seriallink.moc"
