// The TCP link against a real peer on the loopback interface.
#include "console/EventLog.h"
#include "links/TcpLink.h"
#include "support/Bytes.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace
{

// A port nobody listens on: bound once, then let go.
quint16 RefusedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace

class tst_TcpLink : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_log = std::make_unique<EventLog>();
        m_link = std::make_unique<TcpLink>(*m_log);
        m_replies = std::make_unique<QSignalSpy>(m_link.get(), &TcpLink::ReplyArrived);
        m_errors = std::make_unique<QSignalSpy>(m_link.get(), &TcpLink::SocketError);
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
    }
    void cleanup()
    {
        m_replies.reset();
        m_errors.reset();
        m_link.reset();
        m_log.reset();
        m_server.close();
    }

    void piecesWithinTheSettleWaitMakeOneReply()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        peer->write("AB");
        // Timers fire inside the link's settle wait, as the network would.
        QTimer::singleShot(80, peer, [peer] { peer->write(QByteArray("\x02", 1)); });
        QTimer::singleShot(160, peer, [peer] { peer->write("C\r"); });
        QVERIFY(m_replies->wait(5000));
        QCOMPARE(m_replies->count(), 1);
        QCOMPARE(m_replies->at(0).at(0).toByteArray(), QByteArray("AB\x02"
                                                                  "C\r"));

        // A piece sent after the reply was read is a reply of its own.
        peer->write("D");
        QVERIFY(m_replies->wait(5000));
        QCOMPARE(m_replies->count(), 2);
        QCOMPARE(m_replies->at(1).at(0).toByteArray(), QByteArray("D"));
    }

    void noReplySoonerThanTheSettleWait()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        QElapsedTimer sincePeerSent;
        qint64 handedOnAfter = -1;
        connect(m_link.get(), &TcpLink::ReplyArrived, this,
                [&] { handedOnAfter = sincePeerSent.elapsed(); });
        sincePeerSent.start();
        peer->write("\x06");
        peer->flush();
        QTRY_VERIFY_WITH_TIMEOUT(handedOnAfter >= 0, 5000);
        QVERIFY2(handedOnAfter >= 300, qPrintable(QString::number(handedOnAfter)));
    }

    void everyByteValuePassesBothWays()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        const QByteArray bytes = AllByteValues();

        QVERIFY(m_link->Send(bytes).ok());
        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT((received += peer->readAll()).size() >= bytes.size(), 5000);
        QCOMPARE(received, bytes);

        peer->write(bytes);
        QTRY_VERIFY_WITH_TIMEOUT(Joined(*m_replies).size() >= bytes.size(), 5000);
        QCOMPARE(Joined(*m_replies), bytes);
    }

    void aBurstIsDeliveredExactlyOnce()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        QByteArray burst;
        for (int i = 0; burst.size() < 1024 * 1024; ++i)
            burst += QByteArray::number(i).rightJustified(8, '0');
        burst.truncate(1024 * 1024);
        peer->write(burst);
        QTRY_VERIFY_WITH_TIMEOUT(Joined(*m_replies).size() >= burst.size(), 20000);
        // A marker after the burst: once it is in, anything doubled would be in too.
        peer->write("END");
        QTRY_VERIFY_WITH_TIMEOUT(Joined(*m_replies).endsWith("END"), 5000);
        QVERIFY(Joined(*m_replies) == burst + "END");
    }

    void bytesSentJustBeforeThePeerClosedAreDelivered()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        peer->write("BYE\r\n");
        peer->disconnectFromHost();
        QVERIFY(m_replies->wait(5000));
        QCOMPARE(Joined(*m_replies), QByteArray("BYE\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(m_link->GetState(), 8, 5000);
        QCOMPARE(m_errors->count(), 0);
    }

    void stateNamesInTheLog_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("line");
        QTest::newRow("address") << "127.0.0.1"
                                 << "Connect State:Connectin";
        QTest::newRow("name") << "localhost"
                              << "Connect State:ResolvingHost";
    }
    void stateNamesInTheLog()
    {
        QFETCH(QString, host);
        QFETCH(QString, line);
        m_link->LogSocketState();
        QCOMPARE(m_log->lines(), QStringList({"Connect State:Closed"}));

        QSignalSpy connected(m_link.get(), &TcpLink::Connected);
        m_link->ConnectTo(host, m_server.serverPort());
        m_link->LogSocketState();
        QCOMPARE(m_log->lines().last(), line);

        QVERIFY(connected.wait(5000));
        m_link->LogSocketState();
        QCOMPARE(m_log->lines().last(), QStringLiteral("Connect State:Connected"));

        QTRY_VERIFY_WITH_TIMEOUT(m_server.hasPendingConnections(), 5000);
        QTcpSocket* peer = m_server.nextPendingConnection();
        peer->disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(m_link->GetState(), 8, 5000);
        m_link->LogSocketState();
        QCOMPARE(m_log->lines().last(),
                 QStringLiteral("Connect State:") + QString::fromUtf8("這台電腦正在關閉連線"));
    }

    void unknownStateHasNoName()
    {
        for (int state : {-1, 10, 99})
            QCOMPARE(TcpLink::StateName(state), QString());
        QCOMPARE(TcpLink::StateName(9), QStringLiteral("Error"));
    }

    void connectingAgainDropsTheOldConnection()
    {
        QTcpSocket* first = connectPeer();
        QVERIFY(first);
        QSignalSpy firstClosed(first, &QTcpSocket::disconnected);
        QSignalSpy connected(m_link.get(), &TcpLink::Connected);

        m_link->ConnectTo(QStringLiteral("127.0.0.1"), m_server.serverPort());
        QVERIFY(connected.wait(5000));
        QTRY_VERIFY_WITH_TIMEOUT(firstClosed.count() == 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(m_server.hasPendingConnections(), 5000);
        QTcpSocket* second = m_server.nextPendingConnection();
        QCOMPARE(m_link->GetState(), 7);

        QVERIFY(m_link->Send("X").ok());
        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT(!(received += second->readAll()).isEmpty(), 5000);
        QCOMPARE(received, QByteArray("X"));
        QCOMPARE(m_errors->count(), 0);
    }

    void refusedPortIsASocketError()
    {
        const quint16 port = RefusedPort();
        QVERIFY(port != 0);
        m_link->ConnectTo(QStringLiteral("127.0.0.1"), port);
        QVERIFY(m_errors->wait(5000));
        QCOMPARE(m_errors->count(), 1);
        QCOMPARE(m_errors->at(0).at(0).toInt(), 10061);
        QVERIFY(!m_errors->at(0).at(1).toString().isEmpty());
        QCOMPARE(m_link->GetState(), 9);
        QVERIFY(!m_link->Send("X").ok());
    }

    void hostOrPortTheControlRefuses_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<qint64>("port");
        QTest::newRow("empty host") << "" << qint64(80);
        QTest::newRow("port 0") << "127.0.0.1" << qint64(0);
        QTest::newRow("negative port") << "127.0.0.1" << qint64(-1);
        QTest::newRow("port 65536") << "127.0.0.1" << qint64(65536);
        QTest::newRow("beyond 32 bits") << "127.0.0.1" << (qint64(1) << 40);
    }
    void hostOrPortTheControlRefuses()
    {
        QFETCH(QString, host);
        QFETCH(qint64, port);
        m_link->ConnectTo(host, port);
        QVERIFY(m_errors->wait(5000));
        QCOMPARE(m_errors->count(), 1);
        QCOMPARE(m_errors->at(0).at(0).toInt(), 10049);
        QVERIFY(!m_errors->at(0).at(1).toString().isEmpty());
        QCOMPARE(m_link->GetState(), 9);
    }

    void disconnectWhenClosedChangesNothing()
    {
        QSignalSpy connected(m_link.get(), &TcpLink::Connected);
        m_link->Disconnect();
        QCOMPARE(m_link->GetState(), 0);

        // A refusal already queued for an attempt given up is not reported either.
        m_link->ConnectTo(QString(), 80);
        m_link->Disconnect();
        QCOMPARE(m_link->GetState(), 0);

        // By the time a real connection is made, anything queued before it has run.
        m_link->ConnectTo(QStringLiteral("127.0.0.1"), m_server.serverPort());
        QVERIFY(connected.wait(5000));
        QCOMPARE(m_errors->count(), 0);
        QCOMPARE(m_replies->count(), 0);
        QVERIFY(m_log->lines().isEmpty());
    }

    void sendWithoutAConnectionIsReported()
    {
        const LinkResult result = m_link->Send("X");
        QVERIFY(!result.ok());
        QVERIFY(!result.description().isEmpty());
        QCOMPARE(m_link->GetState(), 0);
    }

private:
    // Connects the link to the test's server and returns the peer's end.
    QTcpSocket* connectPeer()
    {
        QSignalSpy connected(m_link.get(), &TcpLink::Connected);
        m_link->ConnectTo(QStringLiteral("127.0.0.1"), m_server.serverPort());
        if (!connected.wait(5000))
            return nullptr;
        QDeadlineTimer deadline(5000);
        while (!m_server.hasPendingConnections() && !deadline.hasExpired())
            m_server.waitForNewConnection(50);
        return m_server.nextPendingConnection();
    }

    QTcpServer m_server;
    std::unique_ptr<EventLog> m_log;
    std::unique_ptr<TcpLink> m_link;
    std::unique_ptr<QSignalSpy> m_replies;
    std::unique_ptr<QSignalSpy> m_errors;
};

QTEST_MAIN(tst_TcpLink)
#include "tst_tcplink.moc"
