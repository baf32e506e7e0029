// "TCP/IP" standing for a TCP server or UDP: the controller's lines on loopback, and the "Link"
// menu of the window.
#include "console/LinkMenu.h"
#include "console/frmMain.h"
#include "support/TerminalRoads.h"

#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QtTest>
#include <QtWidgets>

namespace
{

// Answers the one question it is asked.
class AnsweringToolkit : public Toolkit
{
public:
    QString AskText(QWidget*, const QString& label) override
    {
        asked << label;
        return answer;
    }
    void ShowMessage(QWidget*, const QString& text) override { asked << text; }
    QString answer;
    QStringList asked;
};

} // namespace

class tst_LinkChoice : public QObject, private TerminalRoads
{
    Q_OBJECT

private slots:
    void init()
    {
        setUp();
        t->fields.port = "0";
    }

    void aControllerThatCalls()
    {
        t->controller.Link_Click(LinkChoice::Kind::TcpServer);
        t->controller.CmdConnect_Click();
        TcpServerLink& server = t->controller.links().server();
        const QString port = QString::number(server.listener().Port());
        QCOMPARE(lines(), (QStringList{"Link: TCP server", "Close Comport", "Connecting.....",
                                       "Listening on 127.0.0.1:" + port}));
        send("A");
        QCOMPARE(lines().last(), "Connect State:Listening....");
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, quint16(port.toUInt()));
        QTRY_COMPARE(lines().last(), "Connect Succeed");
        QCOMPARE(lines().at(lines().size() - 2),
                 QStringLiteral("Connected 127.0.0.1:%1").arg(peer.localPort()));
        send("AB<02>");
        QCOMPARE(Received(&peer, 3), QByteArray("AB\x02"));
        peer.write("OK\r");
        QTRY_COMPARE(lines().last(), "[Input]------OK<0D>");
        QVERIFY(t->log.record(t->log.count() - 1).answerMs() >= 0);
        // Closed by the peer, listening goes on; "Close" ends it.
        const QString closed = QStringLiteral("Closed 127.0.0.1:%1").arg(peer.localPort());
        peer.disconnectFromHost();
        QTRY_COMPARE(lines().last(), closed);
        t->controller.Command2_Click();
        QVERIFY(!server.IsListening());
        send("A");
        QCOMPARE(lines().last(), "Connect State:Closed");
        // Choosing the serial port stops listening too.
        t->controller.CmdConnect_Click();
        QVERIFY(server.IsListening());
        t->controller.Option2_Click();
        QVERIFY(!server.IsListening());
        // A failure is one line.
        t->fields.port = "65536";
        t->controller.CmdConnect_Click();
        QCOMPARE(lines().last(), "Cannot listen on 127.0.0.1:65536: a port is 0 to 65535");
    }

    void aControllerOverUdp()
    {
        QUdpSocket controller, other;
        QVERIFY(controller.bind(QHostAddress::LocalHost) && other.bind(QHostAddress("127.0.0.2")));
        t->fields.port = QString::number(controller.localPort());
        t->controller.Link_Click(LinkChoice::Kind::Udp);
        t->controller.CmdConnect_Click();
        UdpLink& udp = t->controller.links().udp();
        QCOMPARE(lines().last(), QStringLiteral("UDP on local port %1, to 127.0.0.1:%2")
                                     .arg(udp.LocalPort())
                                     .arg(controller.localPort()));
        send("PING");
        QTRY_VERIFY(controller.hasPendingDatagrams());
        QCOMPARE(controller.receiveDatagram().data(), "PING");
        const QString from = QStringLiteral("from 127.0.0.1:%1").arg(controller.localPort());
        const QString fromOther = QStringLiteral("from 127.0.0.2:%1").arg(other.localPort());
        controller.writeDatagram("PONG", QHostAddress::LocalHost, udp.LocalPort());
        controller.writeDatagram("", QHostAddress::LocalHost, udp.LocalPort());
        other.writeDatagram("ME TOO", QHostAddress::LocalHost, udp.LocalPort());
        QTRY_COMPARE(lines().mid(lines().size() - 3),
                     (QStringList{"[Input]------PONG", "[Input]------", "[Input]------ME<20>TOO"}));
        const int last = t->log.count() - 1;
        QCOMPARE(t->log.record(last - 2).aside(), QString());
        QCOMPARE(t->log.record(last - 2).details(), from);
        const LogLine& empty = t->log.record(last - 1);
        QVERIFY2(empty.tooltip().startsWith("Reply, 0 bytes, ") &&
                     empty.tooltip().endsWith(" ms after the command\n" + from),
                 qPrintable(empty.tooltip()));
        QCOMPARE(t->log.record(last).aside(), fromOther);
        // Too long for a datagram: a line, and nothing goes out.
        send(QString(65508, 'x'));
        QCOMPARE(lines().last(),
                 "Nothing sent: a datagram holds at most 65,507 bytes, the command has 65508");
        QVERIFY(!controller.hasPendingDatagrams());
        t->controller.Command2_Click();
        send("A");
        QCOMPARE(lines().last(), "Connect State:Closed");
        // Back to the TCP client, logged once.
        t->controller.Link_Click(LinkChoice::Kind::TcpClient);
        t->controller.Link_Click(LinkChoice::Kind::TcpClient);
        QCOMPARE(lines().last(), "Link: TCP client");
        QCOMPARE(lines().count("Link: TCP client"), 1);
    }

    void theLinkMenu()
    {
        AnsweringToolkit toolkit;
        frmMain w(toolkit);
        QWidget* option = w.findChild<QWidget*>("Option1");
        std::unique_ptr<QMenu> menu(w.linkMenu().ContextMenu(*w.findChild<QWidget*>("txtIP")));
        QVERIFY(menu->actions().size() > 3); // the box's own editing entries come first
        QList<QAction*> links = menu->actions().last()->menu()->actions();
        QStringList texts;
        for (QAction* action : links)
            texts << action->text() + (action->isChecked() ? "*" : "");
        QCOMPARE(texts, (QStringList{"TCP client*", "TCP server", "UDP", "",
                                     QString::fromUtf8("Local Port…")}));
        links.at(2)->trigger();
        QCOMPARE(w.LB().lines().last(), "Link: UDP");
        std::unique_ptr<QMenu> again(w.linkMenu().ContextMenu(*option));
        QVERIFY(again->actions().last()->menu()->actions().at(2)->isChecked());
        for (const char* answer : {"5000", "0", "70000", "", "x"}) {
            toolkit.answer = answer;
            links.last()->trigger();
        }
        QCOMPARE(w.LB().lines().mid(1),
                 (QStringList{"Local Port: 5000", "Local Port: any free one"}));
        QCOMPARE(toolkit.asked.count("A local port is 1 to 65535, or 0 for any free one"), 2);
    }
};

QTEST_MAIN(tst_LinkChoice)
#include "tst_linkchoice.moc"
