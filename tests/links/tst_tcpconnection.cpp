// The TCP link's connection under the controller: how it fails to open and is given up, how it
// sends, and how the peer's end of it is told.
#include "support/TerminalRoads.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

class tst_TcpConnection : public QObject, private TerminalRoads
{
    Q_OBJECT

private slots:
    void init() { setUp(); }

    void socketErrorLines()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost); // a port nobody listens on once probe is gone
        const QByteArray refused = QByteArray::number(probe.serverPort());
        probe.close();
        // clang-format off
        const char* const cases[][3] = {{"127.0.0.1", refused, "10061"}, {"", "80", "10049"},
            {"127.0.0.1", "0", "10049"}, {"127.0.0.1", "-1", "10049"}, {"127.0.0.1", "65536", "10049"},
            {"127.0.0.1", "99999999999", "10049"}, {"no-such-host.invalid", "80", "11001"}};
        // clang-format on
        for (const auto& [host, port, number] : cases) {
            setUp();
            t->fields.host = host;
            t->fields.port = port;
            t->controller.CmdConnect_Click();
            QTRY_COMPARE_WITH_TIMEOUT(lines().size(), 3, 25000);
            QVERIFY2(lines().last().startsWith(QString("Socket Error:%1 ").arg(number)) &&
                         lines().last().size() > 19,
                     qPrintable(lines().last()));
            send("A");
            QCOMPARE(lines().last(), "Connect State:Error");
        }
        // A failure queued for an attempt given up is not reported.
        init();
        t->fields.port = "0";
        t->controller.CmdConnect_Click();
        t->fields.port = QString::number(m_server.serverPort());
        QVERIFY(connectPeer());
        QCOMPARE(lines().filter("Socket Error:").size(), 0);
    }

    void aConnectThatHangsGivesUp()
    {
        // A listener whose one-place queue is taken answers no further handshake.
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                ::listen(listener, 0) == 0 &&
                ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) == 0);
        const auto closeListener = qScopeGuard([listener] { ::close(listener); });
        QTcpSocket queued;
        queued.connectToHost(QHostAddress::LocalHost, ntohs(address.sin_port));
        QVERIFY(queued.waitForConnected(5000));
        t->fields.port = QString::number(ntohs(address.sin_port));
        t->tcp.Winsock1().SetConnectTimeout(300);
        t->controller.CmdConnect_Click();
        QTRY_COMPARE(lines().last(), "Socket Error:10060 Connection timed out");
        QCOMPARE(t->tcp.GetState(), int(Winsock::sckError));
        // Given up once: no second report while the connection stays given up.
        QSignalSpy again(&t->tcp, &TcpLink::SocketError);
        QVERIFY(!again.wait(1000));
        QCOMPARE(lines().count("Connect Succeed"), 0);
        // Given up for good: once the listener takes connections again, the handshake is not
        // taken up on its next try (a second after the first, then two more).
        const int taken = ::accept(listener, nullptr, nullptr);
        QVERIFY(taken >= 0);
        const auto closeTaken = qScopeGuard([taken] { ::close(taken); });
        pollfd next{listener, POLLIN, 0};
        QCOMPARE(::poll(&next, 1, 2500), 0);
    }

    void aConnectionMadeIsNotGivenUpLater()
    {
        t->tcp.Winsock1().SetConnectTimeout(300);
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        QSignalSpy error(&t->tcp, &TcpLink::SocketError);
        QVERIFY(!error.wait(700));
        QCOMPARE(t->tcp.GetState(), int(Winsock::sckConnected));
        QCOMPARE(peer->state(), QAbstractSocket::ConnectedState);
    }

    void aCommandLeavesWhenSent()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        QVERIFY(t->tcp.Send("AB\x02", false).ok());
        // Waited for outside the event loop: the bytes are with the system already.
        pollfd came{int(peer->socketDescriptor()), POLLIN, 0};
        QCOMPARE(::poll(&came, 1, 5000), 1);
        char bytes[8];
        QCOMPARE(::recv(int(peer->socketDescriptor()), bytes, sizeof bytes, 0), 3);
        QCOMPARE(QByteArray(bytes, 3), "AB\x02");
        // Nor does the system hold a command back until the last one is acknowledged: the link's
        // end of the connection, found by its port, sends without delay.
        int delayed = -1;
        for (int fd = 3; fd < 1024 && delayed < 0; ++fd) {
            sockaddr_in self{};
            socklen_t size = sizeof self;
            int on = 0;
            socklen_t onSize = sizeof on;
            if (fd != int(peer->socketDescriptor()) &&
                ::getsockname(fd, reinterpret_cast<sockaddr*>(&self), &size) == 0 &&
                self.sin_family == AF_INET && ntohs(self.sin_port) == peer->peerPort() &&
                ::getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, &onSize) == 0)
                delayed = on ? 0 : 1;
        }
        QCOMPARE(delayed, 0);
    }

    void aResetToldFromAClose()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        const linger now = {1, 0};
        ::setsockopt(int(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
        peer->abort();
        QTRY_VERIFY(t->tcp.Winsock1().PeerReset());
        // The next connection starts with no reset, and its peer's close is none.
        QTcpSocket* again = connectPeer();
        QVERIFY(again);
        QVERIFY(!t->tcp.Winsock1().PeerReset());
        again->disconnectFromHost();
        QTRY_COMPARE(t->tcp.GetState(), int(Winsock::sckClosing));
        QVERIFY(!t->tcp.Winsock1().PeerReset());
    }
};

QTEST_MAIN(tst_TcpConnection)
#include "tst_tcpconnection.moc"
