// "TCP/IP" standing for a TCP server or UDP: the controller's lines on loopback, and the "Link"
// menu of the window.
#include "console/LinkMenu.h"
#include "console/frmMain.h"
#include "support/Terminal.h"

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

class tst_LinkChoice : public QObject
{
    Q_OBJECT

    QStringList lines() const { return m_t->log.lines(); }
    void send(const QString& command)
    {
        m_t->fields.command = command;
        m_t->controller.Command3_Click();
    }

    std::unique_ptr<Terminal> m_t;

private slots:
    void init()
    {
        m_t = std::make_unique<Terminal>();
        m_t->fields.host = "127.0.0.1";
        m_t->fields.port = "0";
        m_t->controller.Option1_Click();
    }

    void aControllerThatCalls()
    {
        m_t->controller.Link_Click(LinkChoice::Kind::TcpServer);
        m_t->controller.CmdConnect_Click();
        TcpServerLink& server = m_t->controller.links().server();
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
        QVERIFY(m_t->log.record(m_t->log.count() - 1).answerMs() >= 0);
        // Closed by the peer, listening goes on; "Close" ends it.
        const QString closed = QStringLiteral("Closed 127.0.0.1:%1").arg(peer.localPort());
        peer.disconnectFromHost();
        QTRY_COMPARE(lines().last(), closed);
        m_t->controller.Command2_Click();
        QVERIFY(!server.IsListening());
        send("A");
        QCOMPARE(lines().last(), "Connect State:Closed");
        // Choosing the serial port stops listening too.
        m_t->controller.CmdConnect_Click();
        QVERIFY(server.IsListening());
        m_t->controller.Option2_Click();
        QVERIFY(!server.IsListening());
        // A failure is one line.
        m_t->fields.port = "65536";
        m_t->controller.CmdConnect_Click();
        QCOMPARE(lines().last(), "Cannot listen on 127.0.0.1:65536: a port is 0 to 65535");
    }

    void aControllerOverUdp()
    {
        QUdpSocket controller, other;
        QVERIFY(controller.bind(QHostAddress::LocalHost) && other.bind(QHostAddress("127.0.0.2")));
        m_t->fields.port = QString::number(controller.localPort());
        m_t->controller.Link_Click(LinkChoice::Kind::Udp);
        m_t->controller.CmdConnect_Click();
        UdpLink& udp = m_t->controller.links().udp();
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
        const int last = m_t->log.count() - 1;
        QCOMPARE(m_t->log.record(last - 2).aside(), QString());
        QCOMPARE(m_t->log.record(last - 2).details(), from);
        const LogLine& empty = m_t->log.record(last - 1);
        QVERIFY2(empty.tooltip().startsWith("Reply, 0 bytes, ") &&
                     empty.tooltip().endsWith(" ms after the command\n" + from),
                 qPrintable(empty.tooltip()));
        QCOMPARE(m_t->log.record(last).aside(), fromOther);
        // Too long for a datagram: a line, and nothing goes out.
        send(QString(65508, 'x'));
        QCOMPARE(lines().last(),
                 "Nothing sent: a datagram holds at most 65,507 bytes, the command has 65508");
        QVERIFY(!controller.hasPendingDatagrams());
        m_t->controller.Command2_Click();
        send("A");
        QCOMPARE(lines().last(), "Connect State:Closed");
        // Back to the TCP client, logged once.
        m_t->controller.Link_Click(LinkChoice::Kind::TcpClient);
        m_t->controller.Link_Click(LinkChoice::Kind::TcpClient);
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
        // The operator's right click gets it.
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(4, 4),
                                option->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(option, &event);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QApplication::activePopupWidget()->close();
    }
};

QTEST_MAIN(tst_LinkChoice)
#include "tst_linkchoice.moc"
