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
        m_link = std::make_unique<TcpLink>(m_log);
        m_server.close(); // a new port: no connection left over from the last test
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
    }

    void piecesWithinTheSettleWaitMakeOneReply()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        QSignalSpy replies(m_link.get(), &TcpLink::ReplyArrived);
        QElapsedTimer sincePeerSent;
        qint64 handedOnAfter = -1;
        connect(m_link.get(), &TcpLink::ReplyArrived, this,
                [&] { handedOnAfter = sincePeerSent.elapsed(); });
        sincePeerSent.start();
        peer->write("AB");
        // Timers fire inside the link's settle wait, as the network would.
        QTimer::singleShot(80, peer, [peer] { peer->write("\002"); });
        QTimer::singleShot(160, peer, [peer] { peer->write("C\r"); });
        QVERIFY(replies.wait(5000));
        QCOMPARE(Joined(replies), "AB\002C\r");
        QVERIFY2(handedOnAfter >= 300, qPrintable(QString::number(handedOnAfter)));
        // Every byte value both ways.
        QByteArray bytes;
        for (int i = 0; i < 256; ++i)
            bytes += char(i);
        QVERIFY(m_link->Send(bytes).ok());
        QCOMPARE(Received(peer, 256), bytes);
        peer->write(bytes);
        QTRY_COMPARE(Joined(replies), "AB\002C\r" + bytes);
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
            m_log.Clear();
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
            QCOMPARE(m_log.lines(), expected);
        }
    }

private:
    // Connects the link to the test's server and returns the peer's end.
    QTcpSocket* connectPeer()
    {
        m_link->ConnectTo("127.0.0.1", m_server.serverPort());
        if (!QTest::qWaitFor([&] { return m_link->GetState() == 7; }) ||
            !(m_server.hasPendingConnections() || m_server.waitForNewConnection(5000)))
            return nullptr;
        return m_server.nextPendingConnection();
    }

    QTcpServer m_server;
    EventLog m_log;
    std::unique_ptr<TcpLink> m_link;
};

QTEST_MAIN(tst_TcpLink)
#include "tst_tcplink.moc"
