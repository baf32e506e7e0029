// The TCP link (and the serial link beside it) under the controller, through the faults that come
// from outside: a peer that closes or floods, a link opened again while a reply settles.
#include "reading/LogActions.h"
#include "support/TerminalRoads.h"

#include <QAbstractItemModelTester>

class tst_TcpLink : public QObject, private TerminalRoads
{
    Q_OBJECT

private slots:
    void init() { setUp(); }

    void choosingTheSerialPortClosesTheConnection()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        PtyPair pty;
        openSerial(pty, 5);
        QVERIFY(peer->state() == QAbstractSocket::UnconnectedState ||
                peer->waitForDisconnected(5000));
        QCOMPARE(t->tcp.GetState(), int(Winsock::sckClosed));
    }

    void peerClosesInTheMiddleOfABurst()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        QByteArray burst;
        for (int i = 0; burst.size() < 256 * 1024; ++i)
            burst += QByteArray::number(i).rightJustified(7, '0') + '.';
        peer->write(burst.left(100 * 1024));
        // The rest goes out, and the peer closes, while the link is settling on the first part.
        QTimer::singleShot(100, peer, [peer, burst] {
            peer->write(burst.mid(100 * 1024));
            peer->disconnectFromHost();
        });
        QTRY_VERIFY_WITH_TIMEOUT(shownInput().size() >= burst.size(), 10000);
        QTRY_COMPARE(t->tcp.GetState(), 8);
        QVERIFY(shownInput() == burst);
        QVERIFY(lines().filter("Socket Error:").isEmpty());
        // The terminal goes on: a send now says the peer has closed, and a new connection works.
        send("A");
        QCOMPARE(lines().last(), QString::fromUtf8("Connect State:這台電腦正在關閉連線"));
        peer = connectPeer();
        send("again");
        QCOMPARE(Received(peer, 5), "again");
    }

    void openedAgainDuringTheSettleWait()
    {
        // The new connection or port answers in two pieces: the first while the wait that began
        // on the old one runs, the second after that wait has ended. Bytes of the old one, closed
        // on purpose, may be dropped; the new reply shows whole, in a line of its own.
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        QObject scope;
        connect(&m_server, &QTcpServer::newConnection, &scope, [this] {
            QTcpSocket* second = m_server.nextPendingConnection();
            second->write("NE");
            QTimer::singleShot(225, second, [second] { second->write("W"); });
        });
        peer->write("OLD");
        QTimer::singleShot(150, this, [this] { t->controller.CmdConnect_Click(); });
        QTRY_COMPARE(lines().filter("[Input]------").join('|'), "[Input]------NEW");

        PtyPair first, second;
        openSerial(first, 5);
        SetPortDevice(6, second.slavePath());
        t->fields.portIndex = 5;
        QTimer::singleShot(150, &scope, [&] {
            t->controller.CmbComPort_Click();
            second.write("ne");
            QTimer::singleShot(225, &scope, [&] { second.write("w"); });
        });
        QVERIFY(first.write("old"));
        QTRY_COMPARE(lines().filter("[Input]------").join('|'),
                     "[Input]------NEW|[Input]------new");
    }

    void bytesThatComeWhileAReplyIsHandedOnGetALineOfTheirOwn()
    {
        // The link announces nothing that comes while it hands a reply on (a long one takes the
        // window's events in between); the peer then goes quiet, and the bytes must still show.
        QObject scope;
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        connect(&t->tcp, &TcpLink::ReplyArrived, &scope, [&](const QByteArray& reply) {
            if (reply == "first") {
                peer->write("second");
                QVERIFY(QTest::qWaitFor([&] { return t->tcp.Winsock1().BytesReceived() > 0; }));
            }
        });
        peer->write("first");
        QTRY_COMPARE(lines().filter("[Input]").join('|'), "[Input]------first|[Input]------second");

        PtyPair pty;
        openSerial(pty, 5);
        connect(&t->serial, &SerialLink::ReplyArrived, &scope, [&](const QByteArray& reply) {
            if (reply == "one") {
                pty.write("two");
                QVERIFY(QTest::qWaitFor([&] { return t->serial.MSComm1().InBufferCount() > 0; }));
            }
        });
        QVERIFY(pty.write("one"));
        QTRY_COMPARE(lines().filter("[Input]").mid(2).join('|'),
                     "[Input]------one|[Input]------two");
    }

    void handedOnAsReadWithoutTheSettleWait()
    {
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        t->tcp.SetLongestRead(1024);
        QList<QByteArray> reads;
        QList<qint64> sinceWrite;
        QStringList replies;
        connect(&t->tcp, &TcpLink::BytesRead, this, [&](const QByteArray& bytes, qint64 ms) {
            QVERIFY(!t->tcp.Gathering() && bytes.size() <= 1024);
            reads << bytes;
            sinceWrite << ms;
        });
        // Set while bytes wait unread behind a reply being handed on: they are read, not settled.
        connect(&t->tcp, &TcpLink::ReplyArrived, this, [&](const QByteArray& reply) {
            replies << reply;
            if (reply != "first")
                return;
            peer->write("second");
            QVERIFY(QTest::qWaitFor([&] { return t->tcp.Winsock1().BytesReceived() > 0; }));
            t->tcp.SetHandOnAsRead(true);
        });
        peer->write("first");
        QTRY_COMPARE(reads, QList<QByteArray>{"second"});
        QVERIFY(t->tcp.HandsOnAsRead());
        peer->write("A");
        QTRY_COMPARE(reads, QList<QByteArray>({"second", "A"}));
        send("X");
        QCOMPARE(Received(peer, 1), "X");
        peer->write("B");
        QTRY_COMPARE(reads, QList<QByteArray>({"second", "A", "B"}));
        QVERIFY(sinceWrite.at(1) == -1 && sinceWrite.at(2) >= 0);
        // A long one in reads of at most the longest read, in order.
        reads.clear();
        peer->write(EveryByte().repeated(12));
        QTRY_COMPARE(reads.join(), EveryByte().repeated(12));
        QVERIFY(reads.size() >= 3);
        // A new connection: its bytes are timed from nothing written on it.
        peer = connectPeer();
        QVERIFY(peer);
        peer->write("C");
        QTRY_COMPARE(reads.last(), "C");
        QCOMPARE(sinceWrite.last(), -1);
        // Cleared: the next bytes are a reply once more.
        t->tcp.SetHandOnAsRead(false);
        peer->write("D");
        QTRY_COMPARE(replies, QStringList({"first", "D"}));
    }

    void aFloodKeepsTheLogWithinItsBudget()
    {
        // 512 KiB of memory kept in lines of 64 KiB, read 256 KiB at a time; the peer sends 2 MiB
        // of every byte value in one burst.
        t->log.setLimits(512 << 10, 64 << 10);
        t->tcp.SetLongestRead(256 << 10);
        QAbstractItemModelTester rows(t->log.model());
        t->log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t->log));
        QTcpSocket* peer = connectPeer();
        QVERIFY(peer);
        QSignalSpy replies(&t->tcp, &TcpLink::ReplyArrived);
        QByteArray sent;
        while (sent.size() < 2 << 20)
            sent += EveryByte().repeated(256);
        peer->write(sent += "END");
        const EventLogModel& log = t->log.logModel();
        QByteArray kept;
        QVERIFY(QTest::qWaitFor(
            [&] {
                kept.clear();
                for (const LogLine& line : log.lines())
                    kept += line.bytes();
                return log.leftBytes() + kept.size() == sent.size();
            },
            20000));
        QVERIFY(kept.size() <= 512 << 10 && kept == sent.right(kept.size()));
        QCOMPARE(replies.size(), 9);
        const QString notice = QStringLiteral("%1 lines (%2 bytes) left the log since it was last "
                                              "cleared, to keep it within 512 KiB of memory")
                                   .arg(log.leftLines())
                                   .arg(log.leftBytes());
        QCOMPARE(lines().first(), notice);
        // The burst goes on in continuations, each after a full line unless that line has left.
        QVERIFY(lines().filter("[Input]------").isEmpty());
        for (int row = 2; row < t->log.count(); ++row)
            if (lines().at(row).startsWith("[Input]+-----"))
                QCOMPARE(t->log.record(row - 1).byteCount(), 64 << 10);
        QTRY_COMPARE(t->log.model()->rowCount(), t->log.count());
        QTRY_VERIFY(t->log.visualRect(t->log.model()->index(t->log.count() - 1, 0))
                        .intersects(t->log.viewport()->rect()));
        // Saved: the notice first, then what is kept.
        const QTemporaryDir dir;
        const int count = t->log.count();
        (new LogActions(t->log))->saveLog(dir.filePath("flood.log"));
        QTRY_VERIFY(lines().last().startsWith("Log saved: "));
        QFile file(dir.filePath("flood.log"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray saved = file.readAll();
        QVERIFY(saved.count('\n') == count && saved.mid(25).startsWith(notice.toUtf8() + '\n'));
        // More lines leave: the notice in view says so.
        QSignalSpy changed(t->log.model(), &QAbstractItemModel::dataChanged);
        const qint64 leftBefore = log.leftLines();
        peer->write(EveryByte().repeated(1000)); // less than a whole read: the burst ends
        QTRY_VERIFY(log.leftLines() > leftBefore);
        QVERIFY(!changed.isEmpty() && changed.last().at(0).toModelIndex().row() == 0);
        QVERIFY(lines().first().startsWith(QString::number(log.leftLines()) + " lines"));
        t->controller.cmdClear_Click();
        peer->write("x");
        QTRY_COMPARE(lines(), QStringList{"[Input]------x"});
    }
};

QTEST_MAIN(tst_TcpLink)
#include "tst_tcplink.moc"
