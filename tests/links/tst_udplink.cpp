// The UDP link on loopback: datagrams of every size both ways, and the local port chosen or
// taken. Other senders: tst_linkchoice, tst_autoanswer, tst_shelllinks.
#include "links/UdpLink.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QtTest>

class tst_UdpLink : public QObject, public LineSink
{
    Q_OBJECT

    void AddLine(const QString& text) override { m_lines << text; }

    QStringList m_lines;
    UdpLink m_link{*this};
    QUdpSocket m_controller;

private slots:
    void init()
    {
        m_lines.clear();
        m_controller.close();
        QVERIFY(m_controller.bind(QHostAddress::LocalHost));
        QVERIFY(m_link.Open("127.0.0.1", m_controller.localPort()).ok());
    }

    void datagramsBothWays_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("empty") << 0;
        QTest::newRow("one") << 1;
        QTest::newRow("largest") << 65507;
    }

    void datagramsBothWays()
    {
        QFETCH(int, size);
        QCOMPARE(m_lines, QStringList(QStringLiteral("UDP on local port %1, to 127.0.0.1:%2")
                                          .arg(m_link.LocalPort())
                                          .arg(m_controller.localPort())));
        QByteArray bytes(size, Qt::Uninitialized);
        for (int n = 0; n < size; ++n)
            bytes[n] = char(n * 7);
        QSignalSpy arrived(&m_link, &UdpLink::DatagramArrived);
        QVERIFY(m_link.Send(bytes).ok());
        QTRY_VERIFY(m_controller.hasPendingDatagrams());
        const QNetworkDatagram sent = m_controller.receiveDatagram();
        QVERIFY(sent.data() == bytes && sent.senderPort() == m_link.LocalPort());
        // Two datagrams stay two replies, never merged.
        m_controller.writeDatagram(bytes, QHostAddress::LocalHost, m_link.LocalPort());
        m_controller.writeDatagram("next", QHostAddress::LocalHost, m_link.LocalPort());
        QTRY_COMPARE(arrived.size(), 2);
        QCOMPARE(arrived.at(0).at(0).toByteArray(), bytes);
        QCOMPARE(arrived.at(1).at(0).toByteArray(), "next");
        QVERIFY(m_link.IsController(arrived.at(0).at(1).value<QHostAddress>(),
                                    quint16(arrived.at(0).at(2).toUInt())));
        QVERIFY(!m_link.IsController(QHostAddress("127.0.0.2"), m_controller.localPort()));
        QVERIFY(arrived.at(0).at(3).toLongLong() >= 0);
        QCOMPARE(m_link.DatagramsRead(), 2u);
    }

    void aStreamIsReadWhole()
    {
        // Datagrams that keep coming while the link reads, more than a turn's worth at times:
        // every one comes, in order.
        QSignalSpy arrived(&m_link, &UdpLink::DatagramArrived);
        for (int n = 0; n < 2000; ++n) {
            m_controller.writeDatagram(QByteArray::number(n), QHostAddress::LocalHost,
                                       m_link.LocalPort());
            if (n % 50 == 49)
                QCoreApplication::processEvents();
        }
        QTRY_COMPARE(arrived.size(), 2000);
        QCOMPARE(arrived.at(1999).at(0).toByteArray(), "1999");
    }

    void refusals()
    {
        QCOMPARE(m_link.Send(QByteArray(65508, 'x')).description(),
                 "a datagram holds at most 65,507 bytes, the command has 65508");
        QCOMPARE(m_link.Open("gate", 1).description(),
                 "UDP to gate:1: the controller's address is wanted, such as 192.168.1.20");
        QCOMPARE(m_link.Open("127.0.0.1", 0).description(),
                 "UDP to 127.0.0.1:0: a port is 1 to 65535");
        QCOMPARE(m_link.Send("x").description(), "the UDP link is not open");
        // A local port given is used; one in use is one line with the system's reason.
        QUdpSocket taken;
        QVERIFY(taken.bind(QHostAddress::AnyIPv4));
        QCOMPARE(m_link.Open("127.0.0.1", 9, taken.localPort()).description(),
                 QStringLiteral("Cannot use UDP port %1: The bound address is already in use")
                     .arg(taken.localPort()));
        const quint16 free = taken.localPort();
        taken.close();
        QVERIFY(m_link.Open("127.0.0.1", 9, free).ok() && m_link.LocalPort() == free);
        QCOMPARE(m_link.Bind("x", 1).description(),
                 "Cannot use UDP x:1: not an address of this machine");
    }
};

QTEST_MAIN(tst_UdpLink)
#include "tst_udplink.moc"
