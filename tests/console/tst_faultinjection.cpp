// Faults from outside, injected with real parts: the terminal keeps running, no byte is shown
// twice, what the links read is shown, and the operator gets a plain line where something failed.
#include "support/PtyPair.h"
#include "support/Terminal.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace
{

const QString Input = QStringLiteral("[Input]------");

// A numbered payload of printable characters, which the log shows as they are.
QByteArray Numbered(int size)
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < size; ++i)
        bytes += QByteArray::number(i).rightJustified(7, '0') + '.';
    bytes.truncate(size);
    return bytes;
}

// While it lives, this thread's file access is checked as the unprivileged user "nobody",
// even when the tests run as root (who may write to read-only files).
class Unprivileged
{
public:
    Unprivileged() : m_previous(geteuid() == 0 ? setfsuid(65534) : -1) {}
    ~Unprivileged()
    {
        if (m_previous >= 0)
            setfsuid(uid_t(m_previous));
    }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

private:
    int m_previous;
};

} // namespace

class tst_FaultInjection : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QFile::remove(CaptureFile());
        m_terminal = std::make_unique<Terminal>();
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        m_terminal->fields.host = QStringLiteral("127.0.0.1");
        m_terminal->fields.port = QString::number(m_server.serverPort());
    }
    void cleanup()
    {
        m_terminal.reset();
        m_server.close();
        QFile capture(CaptureFile());
        capture.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        QDir(CaptureFile()).removeRecursively();
        QFile::remove(CaptureFile());
    }

    void peerClosesInTheMiddleOfABurst()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        const QByteArray burst = Numbered(256 * 1024);
        peer->write(burst.left(100 * 1024));
        // The rest goes out, and the peer closes, while the link is settling on the first part.
        QTimer::singleShot(100, peer, [peer, burst] {
            peer->write(burst.mid(100 * 1024));
            peer->disconnectFromHost();
        });
        QTRY_VERIFY_WITH_TIMEOUT(shownInput().size() >= burst.size(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(m_terminal->tcp.GetState(), 8, 5000);
        QVERIFY(shownInput() == burst);
        QVERIFY(!lines().join('\n').contains(QStringLiteral("Socket Error:")));

        // The terminal goes on: a send now says the peer has closed.
        sendCommand(QStringLiteral("A"));
        QCOMPARE(lines().last(),
                 QStringLiteral("Connect State:") + QString::fromUtf8("這台電腦正在關閉連線"));
        QVERIFY(reconnectWorks());
    }

    void peerResetsTheConnection()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        peer->write("PART");
        QTRY_VERIFY_WITH_TIMEOUT(shownInput() == "PART", 5000);
        peer->write("LOST?");
        // Linger 0: the close is a reset, not an orderly end.
        const linger abortive{1, 0};
        QCOMPARE(setsockopt(int(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive,
                            sizeof abortive),
                 0);
        peer->abort();
        QTRY_VERIFY_WITH_TIMEOUT(m_terminal->tcp.GetState() != 7, 5000);
        // Whatever came before the reset is shown once, in order.
        QVERIFY(QByteArray("PARTLOST?").startsWith(shownInput()));

        sendCommand(QStringLiteral("A"));
        QVERIFY(lines().last().startsWith(QStringLiteral("Connect State:")));
        QVERIFY(reconnectWorks());
    }

    void hostThatDoesNotResolve()
    {
        m_terminal->fields.host = QStringLiteral("no-such-host.invalid");
        m_terminal->controller.CmdConnect_Click();
        QTRY_VERIFY_WITH_TIMEOUT(lines().size() == 3, 25000);
        QVERIFY2(lines().last().startsWith(QStringLiteral("Socket Error:11001 ")),
                 qPrintable(lines().last()));
        sendCommand(QStringLiteral("A"));
        QCOMPARE(lines().last(), QStringLiteral("Connect State:Error"));
    }

    void connectPressedDuringTheSettleWait()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        peer->write("OLD");
        bool pressed = false;
        QTimer::singleShot(100, this, [&] {
            m_terminal->controller.CmdConnect_Click();
            pressed = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(pressed, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(lines().count(QStringLiteral("Connect Succeed")), 2, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(m_server.hasPendingConnections(), 5000);
        QTcpSocket* second = m_server.nextPendingConnection();
        // The operator closed the old connection on purpose: its bytes may be dropped, never
        // shown twice or mixed into the new one.
        QVERIFY(QByteArray("OLD").startsWith(shownInput()));
        const QByteArray before = shownInput();
        second->write("NEW");
        QTRY_VERIFY_WITH_TIMEOUT(shownInput() == before + "NEW", 5000);
    }

    void comportChosenDuringATcpSettleWait()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        qputenv("ACCESSTERM_COM4", pty.slavePath().toLocal8Bit());
        m_terminal->fields.portIndex = 3;
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        peer->write("TCP");
        bool chosen = false;
        QTimer::singleShot(100, this, [&] {
            m_terminal->controller.Option2_Click();
            chosen = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(chosen, 5000);
        QVERIFY(lines().contains(QStringLiteral("Open Comport:Com 4")));
        QCOMPARE(m_terminal->controller.transportMode(), 1);
        QVERIFY(QByteArray("TCP").startsWith(shownInput()));
        const QByteArray before = shownInput();

        // The serial road works at once.
        sendCommand(QStringLiteral("S<0D>"));
        QCOMPARE(pty.readExactly(2), QByteArray("S\r"));
        QVERIFY(pty.write("OK"));
        QTRY_VERIFY_WITH_TIMEOUT(shownInput() == before + "OK", 5000);
        QFile capture(CaptureFile());
        QVERIFY(capture.open(QIODevice::ReadOnly));
        QCOMPARE(capture.readAll(), QByteArray("OK\r\n"));
        qunsetenv("ACCESSTERM_COM4");
    }

    void serialFarEndGone_data()
    {
        QTest::addColumn<bool>("duringSettleWait");
        QTest::newRow("during the settle wait") << true;
        QTest::newRow("as the reply is shown") << false;
    }
    void serialFarEndGone()
    {
        QFETCH(bool, duringSettleWait);
        auto pty = std::make_unique<PtyPair>();
        QVERIFY(pty->isValid());
        openSerial(*pty);
        QObject scope;
        if (duringSettleWait)
            QTimer::singleShot(100, &scope, [&] { pty->closeMaster(); });
        else
            connect(m_terminal->log.model(), &QAbstractItemModel::rowsInserted, &scope,
                    [&] { pty->closeMaster(); });
        QVERIFY(pty->write("ABC"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_terminal->serial.IsOpen(), 5000);
        // What the port had read is shown and captured once.
        QTRY_COMPARE_WITH_TIMEOUT(shownInput(), QByteArray("ABC"), 5000);
        QFile capture(CaptureFile());
        QVERIFY(capture.open(QIODevice::ReadOnly));
        QCOMPARE(capture.readAll(), QByteArray("ABC\r\n"));

        // The next command says why it could not go.
        sendCommand(QStringLiteral("X"));
        QVERIFY2(lines().last().startsWith(QStringLiteral("Nothing sent: port is not open")),
                 qPrintable(lines().last()));
        QCOMPARE(m_terminal->controller.transportMode(), 1);
        // Choosing the port again with a device there works.
        PtyPair next;
        openSerial(next);
        sendCommand(QStringLiteral("Y"));
        QCOMPARE(next.readExactly(1), QByteArray("Y"));
    }

    void captureFileThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("replaced by a directory") << "directory";
        QTest::newRow("read-only") << "read-only";
    }
    void captureFileThatCannotBeWritten()
    {
        QFETCH(QString, fault);
        PtyPair pty;
        QVERIFY(pty.isValid());
        openSerial(pty);
        if (fault == QLatin1String("directory")) {
            QVERIFY(QDir().mkpath(CaptureFile()));
        } else {
            QFile file(CaptureFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            QVERIFY(file.setPermissions(QFile::ReadOwner));
        }
        // Root writes to read-only files: file access runs as nobody meanwhile.
        const Unprivileged asNobody;
        QVERIFY(pty.write("R1"));
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains(Input + "R1"), 5000);
        // The reply is in the log, and one line says the file lacks it.
        QTRY_VERIFY_WITH_TIMEOUT(lines().last().startsWith(QStringLiteral("Not saved to ")), 5000);
        QVERIFY(lines().last().contains(QStringLiteral("SaveFile.TXT")));
        QCOMPARE(lines().filter(QStringLiteral("Not saved to ")).size(), 1);
    }

    void captureFileDeletedWhileRunning()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        openSerial(pty);
        QVERIFY(pty.write("R1"));
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains(Input + "R1"), 5000);
        QVERIFY(QFile::remove(CaptureFile()));
        QVERIFY(pty.write("R2"));
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains(Input + "R2"), 5000);
        QFile capture(CaptureFile());
        QVERIFY(capture.open(QIODevice::ReadOnly));
        QCOMPARE(capture.readAll(), QByteArray("R2\r\n"));
        QVERIFY(lines().filter(QStringLiteral("Not saved to ")).isEmpty());
    }

    void tenThousandSendsAsFastAsTheButton()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        const int sends = 10000;
        QByteArray expected;
        for (int i = 0; i < sends; ++i) {
            const QString command = QStringLiteral("%1<0D>").arg(i, 5, 10, QLatin1Char('0'));
            expected += QByteArray::number(i).rightJustified(5, '0') + '\r';
            sendCommand(command);
            // The button's clicks are events: let the loop turn between them.
            QCoreApplication::processEvents();
        }
        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT((received += peer->readAll()).size() >= expected.size(), 20000);
        QVERIFY(received == expected);
        QCOMPARE(lines().filter(QStringLiteral("[Output]------")).size(), sends);
        QVERIFY(lines().filter(QStringLiteral("Nothing sent")).isEmpty());
    }

    void tenThousandSegmentCommand()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        QString command;
        QByteArray expected;
        for (int i = 0; i < 10000; ++i) {
            command += i % 2 ? QStringLiteral("<%1>").arg(i % 256, 2, 16, QLatin1Char('0'))
                             : QStringLiteral("x");
            expected += i % 2 ? char(i % 256) : 'x';
        }
        sendCommand(command);
        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT((received += peer->readAll()).size() >= expected.size(), 10000);
        QVERIFY(received == expected);
        QCOMPARE(lines().last(), QStringLiteral("[Output]------") + command);
    }

    void commandsTheEncoderCannotTake_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("unclosed <") << "AB<0D";
        QTest::newRow("lone <") << "<";
        QTest::newRow("above U+00FF") << QString::fromUtf8("A\u0100B");
        QTest::newRow("beyond the BMP") << QString::fromUtf8("A\U0001F600");
        QTest::newRow("Chinese") << QString::fromUtf8("\u958b\u9580");
    }
    void commandsTheEncoderCannotTake()
    {
        QFETCH(QString, command);
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        const int before = int(lines().size());
        sendCommand(command);
        QCOMPARE(lines().size(), before + 2);
        QCOMPARE(lines().at(before), QStringLiteral("[Output]------") + command);
        QVERIFY(lines().at(before + 1).startsWith(QStringLiteral("Nothing sent: ")));
        // The connection is still good: a following command goes out alone.
        sendCommand(QStringLiteral("OK"));
        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT((received += peer->readAll()).size() >= 2, 5000);
        QCOMPARE(received, QByteArray("OK"));
    }

    void numbersOutsideThe32BitRange_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("baud");
        QTest::newRow("just beyond") << "4294967296"
                                     << "2147483648";
        QTest::newRow("far beyond") << "1e300"
                                    << "99999999999999999999";
        QTest::newRow("negative") << "-4294967296"
                                  << "-2147483649";
    }
    void numbersOutsideThe32BitRange()
    {
        QFETCH(QString, port);
        QFETCH(QString, baud);
        m_terminal->fields.port = port;
        m_terminal->controller.CmdConnect_Click();
        QTRY_VERIFY_WITH_TIMEOUT(lines().size() == 3, 5000);
        QVERIFY2(lines().last().startsWith(QStringLiteral("Socket Error:10049 ")),
                 qPrintable(lines().last()));

        const QString settings = m_terminal->serial.MSComm1().Settings();
        m_terminal->fields.baud = baud;
        m_terminal->controller.Combo2_Change();
        QCOMPARE(m_terminal->fields.messages, QStringList({"Wrong Boad Rate"}));
        QCOMPARE(m_terminal->serial.MSComm1().Settings(), settings);
        QCOMPARE(lines().size(), 3);
    }

private:
    QTcpSocket* connectPeer()
    {
        const qsizetype before = lines().count(QStringLiteral("Connect Succeed"));
        m_terminal->controller.CmdConnect_Click();
        QDeadlineTimer deadline(5000);
        while (lines().count(QStringLiteral("Connect Succeed")) == before && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        while (!m_server.hasPendingConnections() && !deadline.hasExpired())
            m_server.waitForNewConnection(50);
        return m_server.nextPendingConnection();
    }

    bool reconnectWorks()
    {
        const int before = int(lines().count(QStringLiteral("Connect Succeed")));
        QTcpSocket* peer = connectPeer();
        if (!peer || lines().count(QStringLiteral("Connect Succeed")) != before + 1)
            return false;
        sendCommand(QStringLiteral("again"));
        QByteArray received;
        QDeadlineTimer deadline(5000);
        while (received.size() < 5 && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            received += peer->readAll();
        }
        return received == "again";
    }

    void openSerial(PtyPair& pty)
    {
        qputenv("ACCESSTERM_COM6", pty.slavePath().toLocal8Bit());
        m_terminal->fields.portIndex = 5;
        m_terminal->controller.Option2_Click();
        qunsetenv("ACCESSTERM_COM6");
        QVERIFY(m_terminal->serial.IsOpen());
    }

    void sendCommand(const QString& command)
    {
        m_terminal->fields.command = command;
        m_terminal->controller.Command3_Click();
    }

    const QStringList& lines() const { return m_terminal->log.lines(); }

    // Every reply the log shows, joined; the payloads here are printable, shown as they are.
    QByteArray shownInput() const
    {
        QByteArray all;
        for (const QString& line : lines())
            if (line.startsWith(Input))
                all += line.mid(Input.size()).toLatin1();
        return all;
    }

    QTcpServer m_server;
    std::unique_ptr<Terminal> m_terminal;
};

QTEST_MAIN(tst_FaultInjection)
#include "tst_faultinjection.moc"
