// The window as the operator gets it: a check value chosen in the command line's menu, sent to a
// loopback peer and checked in its replies; a frame chosen in the baud box's menu on a
// pseudo-terminal. Run with the tcsetattr shim preloaded (see tests/CMakeLists.txt).
#include "app/TerminalWindow.h"
#include "commandline/CommandLine.h"
#include "console/EventLog.h"
#include "console/FrameMenu.h"
#include "reading/ByteDumpWindow.h"
#include "reading/LogActions.h"
#include "support/PtyPair.h"
#include "support/Terminal.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

namespace
{

// Triggers the entry whose text starts with entry in the submenu named sub of menu.
void Choose(QMenu* menu, const QString& sub, const QString& entry)
{
    std::unique_ptr<QMenu> owned(menu);
    for (QAction* a : menu->actions()) {
        if (a->menu() && a->text() == sub) {
            for (QAction* b : a->menu()->actions())
                if (b->text().startsWith(entry))
                    return b->trigger();
        }
    }
    QFAIL(qPrintable(entry + " not in " + sub));
}

// The entry checked in submenu sub.
QString Checked(QMenu* menu, const QString& sub)
{
    std::unique_ptr<QMenu> owned(menu);
    for (QAction* a : menu->actions())
        for (QAction* b : a->menu() && a->text() == sub ? a->menu()->actions() : QList<QAction*>())
            if (b->isChecked())
                return b->text();
    return {};
}

// The frames the shim has recorded, in order.
QStringList Asked(const QString& requests)
{
    QFile file(requests);
    return file.open(QIODevice::ReadOnly)
               ? QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts)
               : QStringList();
}

} // namespace

class tst_TerminalWindow : public QObject
{
    Q_OBJECT
private slots:
    void checkValueSentAndChecked()
    {
        TerminalWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        EventLog& log = w.LB();
        QTcpServer peer;
        QVERIFY(peer.listen(QHostAddress::LocalHost));
        w.findChild<QLineEdit*>("txtIP")->setText("127.0.0.1");
        w.findChild<QLineEdit*>("txtPortNo")->setText(QString::number(peer.serverPort()));
        QTest::mouseClick(w.findChild<QPushButton*>("CmdConnect"), Qt::LeftButton);
        QVERIFY(peer.waitForNewConnection(5000));
        QTcpSocket* socket = peer.nextPendingConnection();
        QTRY_COMPARE(log.lines().last(), "Connect Succeed");

        QCOMPARE(Checked(w.commandLine().ContextMenu(), "Checksum"), "None");
        Choose(w.commandLine().ContextMenu(), "Checksum", "bcc \u2014 ");
        QCOMPARE(log.lines().last(), "Checksum: bcc, added to every command sent");
        QVERIFY(Checked(w.commandLine().ContextMenu(), "Checksum").startsWith("bcc \u2014 XOR"));
        w.txtChar().setText("<02>OD01<03><0D>");
        QTest::mouseClick(w.findChild<QPushButton*>("Command3"), Qt::LeftButton);
        QCOMPARE(Received(socket, 8).toHex(' '), "02 4f 44 30 31 03 09 0d");
        QCOMPARE(log.lines().last(), "[Output]------<02>OD01<03><09><0D>");
        const int sent = log.count() - 1;

        // A reply whose value is wrong: the verdict in its tooltip, its text drawn in red.
        socket->write("\x02OK\x03\x5A");
        QTRY_COMPARE(log.logModel().rowCount(), sent + 2);
        const QModelIndex reply = log.logModel().index(sent + 1);
        QCOMPARE(reply.data().toString(), "[Input]------<02>OK<03>Z");
        QVERIFY(reply.data(Qt::ToolTipRole).toString().endsWith(", bcc 5A, expected 07"));
        const QImage row = log.viewport()->grab(log.visualRect(reply)).toImage();
        int red = 0;
        for (int y = 0; y < row.height(); ++y)
            for (int x = 0; x < row.width(); ++x)
                red += row.pixelColor(x, y).red() > 160 && row.pixelColor(x, y).green() < 90;
        QVERIFY(red > 20);
        log.setCurrentIndex(reply);
        std::unique_ptr<QWidget> dump(w.logActions().showBytes());
        QVERIFY(dump->windowTitle().endsWith("ms after the command, bcc 5A, expected 07"));
        socket->write("\x02OK\x03\x07");
        QTRY_COMPARE(log.logModel().rowCount(), sent + 3);
        QVERIFY(log.logModel()
                    .index(sent + 2)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .endsWith("after the command, bcc ok"));
        QVERIFY(!log.logModel().index(sent + 2).data(Qt::ForegroundRole).isValid());

        // Recall and a double-click give the command as typed.
        w.txtChar().clear();
        QTest::keyClick(&w.txtChar(), Qt::Key_Up);
        QCOMPARE(w.txtChar().text(), "<02>OD01<03><0D>");
        w.txtChar().clear();
        const QPoint line = log.visualRect(log.logModel().index(sent)).center();
        QTest::mouseClick(log.viewport(), Qt::LeftButton, {}, line);
        QTest::mouseDClick(log.viewport(), Qt::LeftButton, {}, line);
        QCOMPARE(w.txtChar().text(), "<02>OD01<03><0D>");

        // None again: sent and shown as typed.
        Choose(w.commandLine().ContextMenu(), "Checksum", "None");
        QCOMPARE(log.lines().last(), "Checksum: none");
        QTest::mouseClick(w.findChild<QPushButton*>("Command3"), Qt::LeftButton);
        QCOMPARE(Received(socket, 7).toHex(' '), "02 4f 44 30 31 03 0d");
        QCOMPARE(log.lines().last(), "[Output]------<02>OD01<03><0D>");
    }

    void frameChosenOnTheLine()
    {
        QTemporaryDir dir;
        const QString requests = dir.filePath("requests");
        PtyPair pty;
        SetPortDevice(1, pty.slavePath());
        TerminalWindow w;
        EventLog& log = w.LB();
        w.findChild<QComboBox*>("CmbComPort")->setCurrentIndex(0);
        w.findChild<QRadioButton*>("Option2")->click();
        QCOMPARE(log.lines().last(), "Open Comport:Com 1");
        // A pseudo-terminal takes no parity: the line keeps the frame it had.
        Choose(w.frameMenu().ContextMenu(), "Frame", "8E1");
        QVERIFY2(log.lines().last().startsWith("Frame 8E1 refused by " + pty.slavePath() + ": "),
                 qPrintable(log.lines().last()));
        QCOMPARE(Checked(w.frameMenu().ContextMenu(), "Frame"), "8N1");
        // A device that takes 7 data bits but no parity: the line goes back to the frame it had.
        qputenv("ACCESSTERM_TCSETATTR_LOG", requests.toLocal8Bit());
        qputenv("ACCESSTERM_TCSETATTR_REFUSE", "E");
        Choose(w.frameMenu().ContextMenu(), "Frame", "7E1");
        qunsetenv("ACCESSTERM_TCSETATTR_REFUSE");
        QVERIFY(log.lines().last().startsWith("Frame 7E1 refused by " + pty.slavePath() + ": "));
        QVERIFY(Asked(requests).contains("!8E1"));
        QCOMPARE(Asked(requests).last(), "8N1");
        QFile::remove(requests);
        Choose(w.frameMenu().ContextMenu(), "Frame", "8N2");
        QCOMPARE(log.lines().last(), "Comport Setting:4800,n,8,2");

        // What the line is asked for, as the shim records it.
        Choose(w.frameMenu().ContextMenu(), "Frame", "7E1");
        QCOMPARE(log.lines().last(), "Comport Setting:4800,e,7,1");
        QCOMPARE(Asked(requests).last(), "7E1");
        // A later baud change keeps the frame.
        QFile::remove(requests);
        w.findChild<QComboBox*>("Combo2")->setCurrentIndex(2);
        emit w.findChild<QComboBox*>("Combo2")->activated(2);
        qunsetenv("ACCESSTERM_TCSETATTR_LOG");
        QCOMPARE(log.lines().last(), "Comport Setting:9600,e,7,1");
        const QStringList asked = Asked(requests);
        QVERIFY(!asked.isEmpty() && asked.count("7E1") == asked.size());
        // The menu the operator gets on the baud box is that one.
        QLineEdit* baud = w.findChild<QComboBox*>("Combo2")->lineEdit();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(4, 4),
                                baud->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(baud, &event);
        QCOMPARE(Checked(qobject_cast<QMenu*>(QApplication::activePopupWidget()), "Frame"), "7E1");

        // Under 7 data bits a byte above 7F is not sent.
        w.txtChar().setText("A<80>");
        w.findChild<QPushButton*>("Command3")->click();
        QCOMPARE(log.lines().last(),
                 "Nothing sent: byte 80 needs 8 data bits, and the line runs 7E1");
        w.txtChar().setText("A<7F>");
        w.findChild<QPushButton*>("Command3")->click();
        QCOMPARE(pty.readExactly(2), QByteArray("A\x7F"));
    }
};

QTEST_MAIN(tst_TerminalWindow)
#include "tst_terminalwindow.moc"
