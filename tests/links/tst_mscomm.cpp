// The serial control: which device a port number means, how a failed open is described, and the
// line settings, over a real pseudo-terminal where a device is needed.
#include "links/MSComm.h"
#include "support/PtyPair.h"

#include <QSignalSpy>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace
{

QByteArray PortVariable(int port)
{
    return QStringLiteral("ACCESSTERM_COM%1").arg(port).toLatin1();
}

// The line settings of the pty's device, read as a bystander opening it would. A held port refuses
// other opens to anyone but root; the master end then stands in, as it shares the settings.
termios DeviceTermios(const PtyPair& pty)
{
    termios tio{};
    const int fd =
        ::open(pty.slavePath().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (tcgetattr(fd >= 0 ? fd : pty.masterFd(), &tio) != 0)
        tio = termios{};
    if (fd >= 0)
        ::close(fd);
    return tio;
}

qint64 DeviceSpeed(const PtyPair& pty)
{
    const termios tio = DeviceTermios(pty);
    return qint64(cfgetospeed(&tio));
}

const QStringList kPresent = {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyUSB0"),
                              QStringLiteral("/dev/ttyUSB3"), QStringLiteral("/dev/ttyACM0")};

} // namespace

class tst_MSComm : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        for (int port = -1; port <= 17; ++port)
            qunsetenv(PortVariable(port).constData());
    }
    void cleanup() { init(); }

    void portNumbersCountThePresentPorts_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        QTest::newRow("first") << kPresent << 1 << "/dev/ttyS0";
        QTest::newRow("second") << kPresent << 2 << "/dev/ttyUSB0";
        QTest::newRow("third") << kPresent << 3 << "/dev/ttyUSB3";
        QTest::newRow("last") << kPresent << 4 << "/dev/ttyACM0";
        QTest::newRow("beyond the list") << kPresent << 5 << "";
        QTest::newRow("port 16, four present") << kPresent << 16 << "";
        QTest::newRow("port 0") << kPresent << 0 << "";
        QTest::newRow("negative") << kPresent << -1 << "";
        QTest::newRow("nothing present") << QStringList() << 1 << "";
        QTest::newRow("one adapter") << QStringList{"/dev/ttyUSB0"} << 1 << "/dev/ttyUSB0";
    }
    void portNumbersCountThePresentPorts()
    {
        QFETCH(QStringList, present);
        QFETCH(int, port);
        QFETCH(QString, device);
        QCOMPARE(MSComm::DeviceForPort(port, present), device);
    }

    void theEnvironmentOverrideWins_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("fromList");
        QTest::newRow("a port in the list") << 2 << "/dev/ttyUSB0";
        QTest::newRow("a port beyond the list") << 9 << "";
        QTest::newRow("port 16") << 16 << "";
    }
    void theEnvironmentOverrideWins()
    {
        QFETCH(int, port);
        QFETCH(QString, fromList);
        const QString override = QStringLiteral("/dev/pts/77");
        qputenv(PortVariable(port).constData(), override.toLocal8Bit());
        QCOMPARE(MSComm::DeviceForPort(port, kPresent), override);
        // Only that port is redirected.
        QCOMPARE(MSComm::DeviceForPort(1, kPresent), QStringLiteral("/dev/ttyS0"));

        // Decided afresh each time: without the variable the list counts again.
        qunsetenv(PortVariable(port).constData());
        QCOMPARE(MSComm::DeviceForPort(port, kPresent), fromList);
    }

    void openFailureDescriptions_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("description");
        QTest::newRow("permission")
            << 1 << "/dev/ttyUSB0" << int(QSerialPort::PermissionError) << "Permission denied"
            << QString::fromUtf8("Comport 1 (/dev/ttyUSB0): Permission denied — add your user to "
                                 "the dialout group");
        QTest::newRow("no such device")
            << 3 << "/dev/ttyUSB9" << int(QSerialPort::DeviceNotFoundError) << "No such device"
            << "Comport 3 (/dev/ttyUSB9): No such device";
        QTest::newRow("in use") << 2 << "/dev/ttyS1" << int(QSerialPort::ResourceError)
                                << "Device busy"
                                << "Comport 2 (/dev/ttyS1): Device busy";
    }
    void openFailureDescriptions()
    {
        QFETCH(int, port);
        QFETCH(QString, device);
        QFETCH(int, error);
        QFETCH(QString, reason);
        QFETCH(QString, description);
        QCOMPARE(
            MSComm::DescribeOpenFailure(port, device, QSerialPort::SerialPortError(error), reason),
            description);
    }

    void aPortWithNoDeviceFailsToOpen()
    {
        // More ports than any machine here has, and no override for it.
        if (!MSComm::DeviceForPort(16, MSComm::PresentPorts()).isEmpty())
            QSKIP("this machine has 16 serial ports");
        MSComm comm;
        comm.SetCommPort(16);
        const LinkResult result = comm.SetPortOpen(true);
        QVERIFY(!result.ok());
        QVERIFY2(result.description().startsWith(QStringLiteral("Comport 16")),
                 qPrintable(result.description()));
        QVERIFY(!comm.PortOpen());
    }

    void settingsAreKeptWhileClosedAndAppliedAtOpen_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<qint64>("speed");
        QTest::newRow("start-up") << "" << qint64(B4800);
        QTest::newRow("9600") << "9600,n,8,1" << qint64(B9600);
        QTest::newRow("115200") << "115200,n,8,1" << qint64(B115200);
    }
    void settingsAreKeptWhileClosedAndAppliedAtOpen()
    {
        QFETCH(QString, settings);
        QFETCH(qint64, speed);
        PtyPair pty;
        QVERIFY(pty.isValid());
        qputenv(PortVariable(2).constData(), pty.slavePath().toLocal8Bit());

        MSComm comm;
        QCOMPARE(comm.Settings(), QStringLiteral("4800,n,8,1"));
        if (!settings.isEmpty()) {
            QVERIFY(comm.SetSettings(settings).ok());
            QCOMPARE(comm.Settings(), settings);
        }
        QVERIFY(!comm.PortOpen());
        comm.SetCommPort(2);
        const LinkResult opened = comm.SetPortOpen(true);
        QVERIFY2(opened.ok(), qPrintable(opened.description()));
        QVERIFY(comm.PortOpen());
        QCOMPARE(DeviceSpeed(pty), speed);

        // Raw line: 8 data bits, no parity, one stop bit, nothing translated.
        const termios tio = DeviceTermios(pty);
        QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(tio.c_cflag & (PARENB | CSTOPB), tcflag_t(0));
        QCOMPARE(tio.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON), tcflag_t(0));
        QCOMPARE(tio.c_oflag & OPOST, tcflag_t(0));
    }

    void refusedSettingsChangeNothing_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::newRow("empty") << "";
        QTest::newRow("no baud rate") << ",n,8,1";
        QTest::newRow("zero baud") << "0,n,8,1";
        QTest::newRow("negative baud") << "-9600,n,8,1";
        QTest::newRow("unknown parity") << "9600,x,8,1";
        QTest::newRow("nine data bits") << "9600,n,9,1";
        QTest::newRow("three stop bits") << "9600,n,8,3";
        QTest::newRow("missing stop bits") << "9600,n,8";
    }
    void refusedSettingsChangeNothing()
    {
        QFETCH(QString, settings);
        PtyPair pty;
        QVERIFY(pty.isValid());
        qputenv(PortVariable(1).constData(), pty.slavePath().toLocal8Bit());
        MSComm comm;
        QVERIFY(comm.SetSettings(QStringLiteral("9600,n,8,1")).ok());
        QVERIFY(!comm.SetSettings(settings).ok());
        QCOMPARE(comm.Settings(), QStringLiteral("9600,n,8,1"));

        QVERIFY(comm.SetPortOpen(true).ok());
        QVERIFY(!comm.SetSettings(settings).ok());
        QCOMPARE(comm.Settings(), QStringLiteral("9600,n,8,1"));
        QCOMPARE(DeviceSpeed(pty), qint64(B9600));
        QVERIFY(comm.PortOpen());
    }

    void aSingleWaitingByteRaisesAnArrival()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        qputenv(PortVariable(1).constData(), pty.slavePath().toLocal8Bit());
        MSComm comm;
        QSignalSpy arrivals(&comm, &MSComm::OnComm);
        QVERIFY(comm.SetPortOpen(true).ok());
        QCOMPARE(comm.InBufferCount(), 0);

        QVERIFY(pty.write(QByteArray(1, '\0')));
        QVERIFY(arrivals.wait(5000));
        QCOMPARE(comm.CommEvent(), int(MSComm::comEvReceive));
        QCOMPARE(comm.InBufferCount(), 1);
        QCOMPARE(comm.Input(), QByteArray(1, '\0'));
        QCOMPARE(comm.InBufferCount(), 0);
        QCOMPARE(comm.Input(), QByteArray());
    }

    void aClosedPortHasNothingToGiveOrSend()
    {
        MSComm comm;
        QVERIFY(!comm.PortOpen());
        QCOMPARE(comm.InBufferCount(), 0);
        QCOMPARE(comm.Input(), QByteArray());
        const LinkResult sent = comm.Output("X");
        QVERIFY(!sent.ok());
        QVERIFY2(sent.description().contains(QStringLiteral("port is not open")),
                 qPrintable(sent.description()));
        // Closing a closed port is harmless.
        QVERIFY(comm.SetPortOpen(false).ok());
        QVERIFY(!comm.PortOpen());
    }
};

QTEST_MAIN(tst_MSComm)
#include "tst_mscomm.moc"
