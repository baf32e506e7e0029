// The TCP server link on loopback: where it listens, a peer from another address refused, one
// from the same address replacing the peer, and the peer coming back after it closed. The
// window's lines around it: tst_linkchoice.
#include "links/TcpServerLink.h"
#include "support/Terminal.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace
{

// The keepalive timer of the listening end of a loopback connection, in clock ticks, from the
// system's table; -1 when it runs none.
int KeepaliveTicks(quint16 local, quint16 remote)
{
    QFile table("/proc/net/tcp");
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray ends = QStringLiteral(":%1 0100007F:%2 01")
                                .arg(local, 4, 16, QChar('0'))
                                .arg(remote, 4, 16, QChar('0'))
                                .toUpper()
                                .toLatin1();
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (line.contains(ends) && fields.size() > 5 && fields.at(5).startsWith("02:"))
            return fields.at(5).mid(3).toInt(nullptr, 16);
    }
    return -1;
}

} // namespace

class tst_TcpServerLink : public QObject, public LineSink
{
    Q_OBJECT

    void AddLine(const QString& text) override { m_lines << text; }

    // A peer calling from the address given, once the link has logged what starts with said.
    std::unique_ptr<QTcpSocket> call(const char* from, const QString& said)
    {
        auto peer = std::make_unique<QTcpSocket>();
        peer->bind(QHostAddress(QString::fromLatin1(from)));
        const QString line = said.arg(QString::fromLatin1(from)).arg(peer->localPort());
        peer->connectToHost(QHostAddress::LocalHost, m_link.listener().Port());
        return QTest::qWaitFor([&] { return m_lines.contains(line); }) ? std::move(peer) : nullptr;
    }

    QStringList m_lines;
    TcpServerLink m_link{*this};

private slots:
    void init()
    {
        m_link.Close();
        m_lines.clear();
    }

    void listensWhereTold_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<qint64>("port");
        QTest::addColumn<QString>("line");
        QTest::newRow("loopback") << "127.0.0.1" << 0ll << "Listening on 127.0.0.1:%1";
        QTest::newRow("every address") << " " << 0ll << "Listening on 0.0.0.0:%1 (";
        QTest::newRow("a name") << "gate" << 4001ll << "Cannot listen on gate:4001: not an address";
        QTest::newRow("too high") << "127.0.0.1" << 65536ll
                                  << "Cannot listen on 127.0.0.1:65536: a port is 0 to 65535";
    }

    void listensWhereTold()
    {
        QFETCH(QString, host);
        QFETCH(qint64, port);
        QFETCH(QString, line);
        const LinkResult result = m_link.Listen(host, port);
        QCOMPARE(result.ok(), m_link.IsListening());
        const QString said = result.ok() ? m_lines.value(0) : result.description();
        QVERIFY2(said.startsWith(line.replace("%1", QString::number(m_link.listener().Port()))),
                 qPrintable(said));
        QCOMPARE(said.endsWith(')'), line.endsWith('('));
        QCOMPARE(m_link.GetState(), result.ok() ? int(Winsock::sckListening) : 0);
    }

    void onePeerAtATime()
    {
        QVERIFY(m_link.Listen("127.0.0.1", 0).ok());
        QSignalSpy connected(&m_link, &TcpServerLink::Connected);
        QVERIFY(!m_link.Send("early").ok());
        const std::unique_ptr<QTcpSocket> first = call("127.0.0.1", "Connected %1:%2");
        QVERIFY(first && connected.size() == 1 && m_link.IsConnected());
        // A controller gone without a word is noticed within a minute, not two hours.
        const int ticks = KeepaliveTicks(m_link.listener().Port(), first->localPort());
        QVERIFY2(ticks > 0 && ticks <= 30 * 100, qPrintable(QString::number(ticks)));
        // Another address is refused at once and the first stays the link.
        const std::unique_ptr<QTcpSocket> other = call("127.0.0.2", "Refused %1:%2: busy");
        QVERIFY(other);
        QTRY_COMPARE(other->state(), QAbstractSocket::UnconnectedState);
        QVERIFY(m_link.Send("to first").ok());
        QCOMPARE(Received(first.get(), 8), QByteArray("to first"));
        // The same address again: a controller that rebooted takes the old one's place.
        const QString dropped = QStringLiteral("Dropped 127.0.0.1:%1: its address connected again")
                                    .arg(first->localPort());
        const std::unique_ptr<QTcpSocket> again = call("127.0.0.1", "Connected %1:%2");
        QVERIFY(again && connected.size() == 2 && m_lines.contains(dropped));
        QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
        QSignalSpy replies(&m_link, &TcpServerLink::ReplyArrived);
        again->write("from again");
        QTRY_COMPARE(replies.size(), 1);
        QCOMPARE(replies.at(0).at(0).toByteArray(), "from again");
        // The peer closes: listening goes on, and another address may call.
        QSignalSpy closed(&m_link, &TcpServerLink::PeerClosed);
        again->disconnectFromHost();
        QTRY_COMPARE(closed.size(), 1);
        QCOMPARE(m_link.GetState(), int(Winsock::sckListening));
        QVERIFY(call("127.0.0.2", "Connected %1:%2"));
        QCOMPARE(connected.size(), 3);
        // A connection that fails is let go: the next caller is taken, from anywhere.
        QSignalSpy failed(&m_link, &TcpServerLink::SocketError);
        emit m_link.link().Winsock1().Error(Winsock::sckConnectionReset, "gone");
        QCOMPARE(failed.size(), 1);
        QVERIFY(call("127.0.0.1", "Connected %1:%2"));
    }

    void ipv6Loopback()
    {
        if (!m_link.Listen("::1", 0).ok())
            QSKIP("no ::1 on this machine");
        QCOMPARE(m_lines.value(0),
                 QStringLiteral("Listening on [::1]:%1").arg(m_link.listener().Port()));
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHostIPv6, m_link.listener().Port());
        QTRY_VERIFY(m_link.IsConnected());
        QCOMPARE(m_lines.value(1), QStringLiteral("Connected [::1]:%1").arg(peer.localPort()));
    }
};

QTEST_MAIN(tst_TcpServerLink)
#include "tst_tcpserverlink.moc"
