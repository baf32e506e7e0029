// The TCP link and its control against a real peer on the loopback interface.
#include "support/Terminal.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

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
        m_server.close(); // a new port: no connection left over from the last test
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
    }

    void repliesWholeOnceAndInOrder()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        QElapsedTimer sincePeerSent;
        qint64 handedOnAfter = -1;
        connect(m_link.get(), &TcpLink::ReplyArrived, this,
                [&] { handedOnAfter = sincePeerSent.elapsed(); });
        sincePeerSent.start();
        peer->write("AB");
        // Timers fire inside the link's settle wait, as the network would.
        QTimer::singleShot(80, peer, [peer] { peer->write(QByteArray("\x02", 1)); });
        QTimer::singleShot(160, peer, [peer] { peer->write("C\r"); });
        QVERIFY(m_replies->wait(5000));
        QCOMPARE(Joined(*m_replies), QByteArray("AB\x02"
                                                "C\r"));
        QVERIFY2(handedOnAfter >= 300, qPrintable(QString::number(handedOnAfter)));
        // Every byte value both ways, then a megabyte: each byte shown once, in order.
        QByteArray bytes;
        for (int i = 0; i < 256; ++i)
            bytes += char(i);
        QVERIFY(m_link->Send(bytes).ok());
        QCOMPARE(Received(peer, 256), bytes);
        bytes = bytes.repeated(4096) + "END";
        peer->write(bytes);
        QTRY_VERIFY_WITH_TIMEOUT(Joined(*m_replies).endsWith("END"), 20000);
        QVERIFY(Joined(*m_replies) == "AB\x02"
                                      "C\r" +
                                          bytes);
    }

    void stateNamesInTheLog()
    {
        const QStringList names =
            QString::fromUtf8("Closed|Open|Listening....|Connection Pending|ResolvingHost|"
                              "HostResolved|Connectin|Connected|這台電腦正在關閉連線|Error")
                .split('|');
        for (int state = -1; state <= 10; ++state)
            QCOMPARE(TcpLink::StateName(state), names.value(state));
        // An address is connected to at once, a name is looked up first.
        for (const auto& [host, state] : {std::pair("127.0.0.1", 6), std::pair("localhost", 4)}) {
            m_log->Clear();
            m_link->LogSocketState();
            m_link->ConnectTo(host, m_server.serverPort());
            m_link->LogSocketState();
            QTRY_COMPARE(m_link->GetState(), 7);
            m_link->LogSocketState();
            QVERIFY(m_server.hasPendingConnections() || m_server.waitForNewConnection(5000));
            m_server.nextPendingConnection()->disconnectFromHost();
            QTRY_COMPARE(m_link->GetState(), 8);
            m_link->LogSocketState();
            m_link->Disconnect();
            QStringList expected;
            for (int shown : {0, state, 7, 8})
                expected << "Connect State:" + names.at(shown);
            QCOMPARE(m_log->lines(), expected);
        }
    }

    void connectingAgainDropsTheOldConnection()
    {
        QTcpSocket* first = connectPeer();
        QVERIFY(first);
        QSignalSpy firstClosed(first, &QTcpSocket::disconnected);
        QTcpSocket* second = connectPeer();
        QVERIFY(second);
        QVERIFY(firstClosed.count() == 1 || firstClosed.wait(5000));
        QVERIFY(m_link->Send("X").ok());
        QCOMPARE(Received(second, 1), QByteArray("X"));
        QCOMPARE(m_errors->count(), 0);
    }

    void connectFailures()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost); // a port nobody listens on once probe is gone
        const std::tuple<const char*, qint64, int> cases[] = {
            {"127.0.0.1", probe.serverPort(), 10061},
            {"", 80, 10049},
            {"127.0.0.1", 0, 10049},
            {"127.0.0.1", -1, 10049},
            {"127.0.0.1", 65536, 10049},
            {"127.0.0.1", qint64(1) << 40, 10049},
            {"no-such-host.invalid", 80, 11001}};
        probe.close();
        for (const auto& [host, port, number] : cases) {
            m_errors->clear();
            QVERIFY(!m_link->Send("X").ok());
            m_link->ConnectTo(host, port);
            QVERIFY(m_errors->wait(25000));
            QCOMPARE(m_errors->count(), 1);
            QCOMPARE(m_errors->at(0).at(0).toInt(), number);
            QVERIFY(!m_errors->at(0).at(1).toString().isEmpty());
            QCOMPARE(m_link->GetState(), 9);
        }
        // A failure queued for an attempt given up is dropped.
        m_errors->clear();
        m_link->ConnectTo(QString(), 80);
        m_link->Disconnect();
        QCOMPARE(m_link->GetState(), 0);
        QVERIFY(connectPeer()); // by then anything queued before has run
        QCOMPARE(m_errors->count(), 0);
    }

private:
    // Connects the link to the test's server and returns the peer's end.
    QTcpSocket* connectPeer()
    {
        QSignalSpy connected(m_link.get(), &TcpLink::Connected);
        m_link->ConnectTo(QStringLiteral("127.0.0.1"), m_server.serverPort());
        if (!connected.wait(5000) ||
            !(m_server.hasPendingConnections() || m_server.waitForNewConnection(5000)))
            return nullptr;
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
