// Run Check File in the window, against a loopback peer that answers every command with
// <02>OK<03>: verdicts as log lines, a failed one red; a bad line refused before anything is sent;
// stopped as a repeat is.
#include "app/CheckFileDialog.h"
#include "app/RepeatControl.h"
#include "app/TerminalWindow.h"
#include "commandline/CommandLine.h"
#include "console/EventLog.h"
#include "repeat/CheckRun.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

class tst_CheckWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TerminalWindow> w;
    QTcpServer peer;
    QTcpSocket* socket = nullptr;
    QByteArray received;
    QTemporaryDir dir;

    RepeatControl& control() { return w->repeatControl(); }
    QStringList lines() { return w->LB().lines(); }

    QString file(const QByteArray& text)
    {
        QFile out(dir.filePath("door.check"));
        out.open(QIODevice::WriteOnly);
        out.write(text);
        return out.fileName();
    }

private slots:
    void init()
    {
        w = std::make_unique<TerminalWindow>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        peer.close();
        QVERIFY(peer.listen(QHostAddress::LocalHost));
        socket = nullptr;
        received.clear();
        connect(&peer, &QTcpServer::newConnection, this, [this] {
            socket = peer.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this, [this] {
                received += socket->readAll();
                socket->write("\x02OK\x03");
            });
        });
        w->findChild<QLineEdit*>("txtIP")->setText("127.0.0.1");
        w->findChild<QLineEdit*>("txtPortNo")->setText(QString::number(peer.serverPort()));
        w->findChild<QPushButton*>("CmdConnect")->click();
        QTRY_VERIFY(socket && lines().contains("Connect Succeed"));
    }
    void cleanup() { disconnect(&peer, nullptr, this, nullptr); }

    void verdictsInTheLog()
    {
        const std::unique_ptr<QMenu> menu(w->commandLine().ContextMenu());
        QVERIFY(menu->actions().contains(&control().checkFileAction()));
        control().RunCheckFile(file("send OPEN<0D>\nexpect ^<02>OK<03>$\n# a comment\n"
                                    "send X\nexpect ^Z within 400\n"),
                               2);
        QVERIFY(control().isRunning() && !control().checkFileAction().isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains("2 passed, 2 failed"), 10000);
        QCOMPARE(lines().filter(QRegularExpression("^(not )?ok ")),
                 QStringList({"ok 1 line 2: expect ^<02>OK<03>$",
                              "not ok 2 line 5: expect ^Z within 400: got <02>OK<03>",
                              "ok 3 line 2: expect ^<02>OK<03>$",
                              "not ok 4 line 5: expect ^Z within 400: got <02>OK<03>"}));
        QCOMPARE(lines().filter("[Output]------").join('|'),
                 "[Output]------OPEN<0D>|[Output]------X|[Output]------OPEN<0D>|[Output]------X");
        QCOMPARE(received, "OPEN\rXOPEN\rX");
        int red = 0;
        for (int row = 0; row < w->LB().count(); ++row)
            red += w->LB().record(row).flagged() ? 1 : 0;
        QCOMPARE(red, 2);
        QTRY_VERIFY(!control().isRunning() && control().checkFileAction().isEnabled());
    }

    void aBadLineIsRefusedBeforeAnythingIsSent()
    {
        const QString path = file("send A\nbogus step\nwait soon\n");
        control().RunCheckFile(path, 1);
        QCOMPARE(lines().mid(lines().size() - 2),
                 QStringList({path + " line 2: unknown step \"bogus\"",
                              path + " line 3: wait wants milliseconds"}));
        QVERIFY(!control().isRunning());
        QCOMPARE(received, QByteArray());
        control().RunCheckFile(dir.filePath("missing.check"), 1);
        QVERIFY(lines().last().startsWith(dir.filePath("missing.check") + ": "));
    }

    void stoppedAsARepeatIs()
    {
        control().RunCheckFile(file("send A\nexpect ^<02>OK<03>$\nwait 20000\n"), 1);
        QTRY_VERIFY(lines().contains("ok 1 line 2: expect ^<02>OK<03>$"));
        QTest::keyClick(w->findChild<QLineEdit*>("txtChar"), Qt::Key_Escape);
        QCOMPARE(lines().last(), "Check stopped: Escape pressed; 1 passed, 0 failed");
        QTRY_VERIFY(!control().isRunning());
        control().RunCheckFile(file("wait 20000\n"), 1);
        QTRY_VERIFY(control().checkRun());
        w->findChild<QPushButton*>("Command2")->click();
        QCOMPARE(lines().last(), "Check stopped: Close pressed; 0 passed, 0 failed");
    }

    void dialog()
    {
        CheckFileDialog asked("", 3);
        QCOMPARE(asked.findChild<QSpinBox*>("runs")->maximum(), 1000000);
        asked.accept();
        QVERIFY(asked.result() != QDialog::Accepted);
        asked.findChild<QLineEdit*>("path")->setText(" door.check ");
        asked.accept();
        QVERIFY(asked.result() == QDialog::Accepted && asked.path() == "door.check" &&
                asked.runs() == 3);
    }
};

QTEST_MAIN(tst_CheckWindow)
#include "tst_checkwindow.moc"
