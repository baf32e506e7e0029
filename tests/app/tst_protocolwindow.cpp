// The window reading OSDP on a pseudo-terminal: a line a packet, summaries, bytes that are no
// frame, a failed CRC, every link, commands completed and numbered, Send As Typed, Hide Polls, a
// repeat that counts frames, and the window as it always was with None.
#include "app/ProtocolWindowCase.h"
#include "terminal/TrafficLines.h"

class tst_ProtocolWindow : public QObject, private ProtocolWindowCase
{
    Q_OBJECT

private slots:
    void init() { setUp(); }

    // Cut whatever pieces the bytes come in: the reader's own test splits them every way; here a
    // piece could wait past the give-up time on a loaded machine, so the stream goes at once.
    void aLineAPacket()
    {
        QByteArray stream;
        for (int i = 0; i < 20; ++i)
            stream += kPoll + kAck;
        QVERIFY(pty->write(stream));
        QTRY_COMPARE(replies().size(), 40);
        QByteArray joined;
        for (int n = 0; n < 40; ++n) {
            const LogLine& line = *replies().at(n);
            joined += line.bytes();
            QCOMPARE(line.aside(), n % 2 ? "osdp_ACK  PD 01  SQN 0" : "osdp_POLL  PD 01  SQN 0");
            QVERIFY(!line.flagged() && !line.checkFailed());
        }
        QCOMPARE(joined, stream);
        QVERIFY(
            replies().at(1)->details().contains(QRegularExpression("\\d+ ms after the previous")));
        // The capture file: a line a packet, as the log renders it, no summary; written together
        // a moment later.
        QList<QByteArray> captured;
        const auto read = [&captured] {
            QFile capture(CaptureFile());
            captured = capture.open(QIODevice::ReadOnly) ? capture.readAll().split('\n')
                                                         : QList<QByteArray>();
            return captured.size();
        };
        QTRY_COMPARE(read(), 41);
        QVERIFY(!captured.first().contains("osdp"));
    }

    void bytesNoFrameTakesAndAFailedCheckValue()
    {
        QVERIFY(pty->write(QByteArray::fromHex("0102") + kBadPoll + kAck));
        QTRY_COMPARE(replies().size(), 3);
        QCOMPARE(replies().at(0)->bytes(), QByteArray::fromHex("0102"));
        QCOMPARE(replies().at(0)->details(), "not a frame of osdp");
        QVERIFY(replies().at(0)->aside().isEmpty());
        const LogLine& bad = *replies().at(1);
        QCOMPARE(bad.bytes(), kBadPoll);
        QVERIFY(bad.flagged() && bad.checkFailed());
        QVERIFY2(bad.aside().contains("expected"), qPrintable(bad.aside()));
        QCOMPARE(replies().at(2)->bytes(), kAck);
        // Bytes with no frame after them wait 300 ms for more, then are a line.
        QVERIFY(pty->write("zz"));
        QTRY_COMPARE(replies().size(), 4);
        QCOMPARE(replies().at(3)->bytes(), "zz");
    }

    void overAControllerThatCallsAndOverUdp()
    {
        // The TCP server's peer: a line a frame.
        w->findChild<QRadioButton*>("Option1")->click();
        w->controller().Link_Click(LinkChoice::Kind::TcpServer);
        w->findChild<QLineEdit*>("txtIP")->setText("127.0.0.1");
        w->findChild<QLineEdit*>("txtPortNo")->setText("0");
        w->findChild<QPushButton*>("CmdConnect")->click();
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost,
                           w->controller().links().server().listener().Port());
        QTRY_VERIFY(log().lines().contains("Connect Succeed"));
        from = log().count();
        peer.write(kPoll + kAck);
        QTRY_COMPARE(replies().size(), 2);
        QCOMPARE(replies().at(0)->bytes(), kPoll);
        QCOMPARE(replies().at(1)->aside(), "osdp_ACK  PD 01  SQN 0");

        // UDP: a frame never goes on into the next datagram; each line names its sender.
        w->controller().Link_Click(LinkChoice::Kind::Udp);
        QUdpSocket controller;
        QVERIFY(controller.bind(QHostAddress::LocalHost));
        w->findChild<QLineEdit*>("txtPortNo")->setText(QString::number(controller.localPort()));
        w->findChild<QPushButton*>("CmdConnect")->click();
        const quint16 local = w->controller().links().udp().LocalPort();
        QVERIFY(local != 0);
        from = log().count();
        controller.writeDatagram(kAck + kPoll.left(4), QHostAddress::LocalHost, local);
        controller.writeDatagram(kPoll.mid(4), QHostAddress::LocalHost, local);
        controller.writeDatagram(kAck, QHostAddress::LocalHost, local);
        QTRY_COMPARE(replies().size(), 4);
        QCOMPARE(replies().at(0)->bytes(), kAck);
        QCOMPARE(replies().at(1)->bytes(), kPoll.left(4));
        QCOMPARE(replies().at(1)->aside(), QString());
        QCOMPARE(replies().at(2)->bytes(), kPoll.mid(4));
        QCOMPARE(replies().at(3)->aside(), "osdp_ACK  PD 01  SQN 0");
        const QString sender = QStringLiteral("from 127.0.0.1:%1").arg(controller.localPort());
        QVERIFY2(replies().at(3)->details().startsWith(sender + '\n'),
                 qPrintable(replies().at(3)->details()));
        QCOMPARE(replies().at(1)->details(), sender + "\nnot a frame of osdp");
    }

    void commandsCompletedAndNumbered()
    {
        send("<01><60>");
        QCOMPARE(pty->readExactly(9), kPoll);
        QCOMPARE(lastOutput().bytes(), kPoll);
        QCOMPARE(lastOutput().asTyped(), "[Output]------<01><60>");
        QCOMPARE(lastOutput().aside(), "osdp_POLL  PD 01  SQN 0");
        QCOMPARE(w->commandLine().history().commands().last(), "<01><60>");
        // No reply yet: sent again, it keeps its number; once answered, the next one moves on.
        send("<01><60>");
        QCOMPARE(pty->readExactly(9), kPoll);
        QVERIFY(pty->write(kAck));
        QTRY_COMPARE(replies().size(), 1);
        send("<01><60>");
        const QByteArray next = pty->readExactly(9);
        QCOMPARE(next.first(6), QByteArray::fromHex("FF5301080005"));
        QCOMPARE(lastOutput().aside(), "osdp_POLL  PD 01  SQN 1");
        send("<01>");
        QVERIFY(log().line(log().count() - 1).startsWith("Nothing sent: "));
        // The Checksum menu names the protocol's value, greyed.
        QCOMPARE(checksumShown(), "crc16-osdp or lrc, by osdp");
    }

    void sendAsTypedSendsTheBytesTyped()
    {
        w->SetCommandText("<01><60>");
        protocol().sendAsTypedAction().trigger();
        QCOMPARE(pty->readExactly(2), QByteArray::fromHex("0160"));
        QCOMPARE(lastOutput().text(), "[Output]------<01><60>");
        QCOMPARE(lastOutput().details(), "not a frame of osdp");
        // Send As Typed of a whole frame is shown decoded.
        w->SetCommandText("<FF>S<01><08><00><04>`<BA><00>");
        protocol().sendAsTypedAction().trigger();
        QCOMPARE(pty->readExactly(9), kPoll);
        QCOMPARE(lastOutput().aside(), "osdp_POLL  PD 01  SQN 0");
    }

    void hidePollsCountsThePairs()
    {
        protocol().hidePollsAction().setChecked(true);
        QVERIFY(pty->write(kPoll + kAck + kPoll + kAck + kPoll + kAck));
        QTRY_COMPARE(log().line(log().count() - 1), "3 polls answered ACK hidden");
        QCOMPARE(log().lines().filter("answered ACK hidden").size(), 1);
        // A poll that nothing answers is shown, as is what carries news.
        QVERIFY(pty->write(kPoll + kBadPoll));
        QTRY_COMPARE(replies().size(), 2);
        QVERIFY(replies().at(1)->flagged());
        QVERIFY(pty->write(kPoll + kAck));
        QTRY_COMPARE(log().line(from), "4 polls answered ACK hidden");
        // Once cleared, the count comes on a line of its own again.
        w->findChild<QPushButton*>("cmdClear")->click();
        QVERIFY(pty->write(kPoll + kAck));
        QTRY_COMPARE(log().lines(), QStringList{"5 polls answered ACK hidden"});
    }

    void aRepeatCountsFramesAndCompletesItsCommands()
    {
        w->SetCommandText("<01><60>");
        RepeatPlan plan;
        plan.everyMs = 0; // each after the last one's frame
        plan.sends = 3;
        w->repeatControl().StartRepeat(plan);
        QCOMPARE(pty->readExactly(kPoll.size()), kPoll);
        QVERIFY(pty->write(kAck));
        // The ACK carried sequence number 0: the next poll carries 1.
        const QByteArray second = pty->readExactly(kPoll.size());
        QCOMPARE(second.left(7), QByteArray::fromHex("FF530108000560"));
        // Its line shows it as it went, completed.
        QVERIFY(log().lines().contains("[Output]------" + InputLine(second, QString())));
        QByteArray badAck = kAck;
        badAck[badAck.size() - 1] = char(badAck.back() ^ 1);
        QVERIFY(pty->write(badAck));
        QCOMPARE(pty->readExactly(kPoll.size()).size(), kPoll.size());
        QVERIFY(pty->write(kAck));
        QTRY_VERIFY_WITH_TIMEOUT(!w->repeatControl().isRunning(), 10000);
        QVERIFY2(log()
                     .line(log().count() - 1)
                     .startsWith("Repeat done: 3 sent, 2 answered, 0 without a reply within "
                                 "1000 ms, 1 failed their check value"),
                 qPrintable(log().lines().join('\n')));
        QCOMPARE(replies().size(), 3);
        QVERIFY(replies().at(1)->flagged() && !replies().at(2)->flagged());
        QCOMPARE(replies().at(2)->bytes(), kAck);
        // Then read by the protocol again.
        QVERIFY(w->serialLink().HandsOnAsRead());
        QVERIFY(pty->write(kPoll));
        QTRY_COMPARE(replies().last()->aside(), "osdp_POLL  PD 01  SQN 0");
    }

    void noneIsTheWindowAsBefore()
    {
        protocol().Choose("");
        QCOMPARE(log().line(log().count() - 1), "Protocol: none");
        QVERIFY(!w->serialLink().HandsOnAsRead());
        QVERIFY(pty->write(kPoll + kAck));
        QTRY_COMPARE(replies().size(), 1);
        QCOMPARE(replies().at(0)->bytes(), kPoll + kAck);
        QVERIFY(replies().at(0)->aside().isEmpty());
        send("<01><60>");
        QCOMPARE(pty->readExactly(2), QByteArray::fromHex("0160"));
        QVERIFY(!protocol().sendAsTypedAction().isEnabled());
    }
};

QTEST_MAIN(tst_ProtocolWindow)
#include "tst_protocolwindow.moc"
