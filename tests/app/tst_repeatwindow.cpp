// A repeat in the window against a loopback peer that drops, spoils and mismatches some replies,
// and on a pseudo-terminal that stops reading; what stops it, F8, and the dialog's bounds.
#include "app/RepeatControl.h"
#include "app/RepeatDialog.h"
#include "app/TerminalWindow.h"
#include "checks/CheckCatalogue.h"
#include "commandline/CommandLine.h"
#include "console/EventLog.h"
#include "console/TerminalController.h"
#include "repeat/RepeatRun.h"
#include "support/PtyPair.h"
#include "support/Terminal.h"
#include "terminal/CheckChoice.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

namespace
{

// Answers each command of two bytes: every tenth not at all, every seventh with a wrong XOR,
// every eleventh with a reply that does not start "OK".
class Peer : public QTcpServer
{
public:
    Peer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this, [this] {
                for (received += socket->readAll(); received.size() >= 2; received.remove(0, 2))
                    answer(++commands);
            });
        });
    }
    void answer(int n)
    {
        if (n % 10 == 0)
            return;
        socket->write(n % 7 == 0 ? "OK\x05" : n % 11 == 0 ? "NO\x01" : "OK\x04");
    }

    QTcpSocket* socket = nullptr;
    QByteArray received;
    int commands = 0;
};

// The real monotonic clock, and a wall clock the test can move.
class MovedClock : public RepeatClock
{
public:
    qint64 WallMs() const override { return RepeatClock::WallMs() + jump; }
    qint64 jump = 0;
};

} // namespace

class tst_RepeatWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TerminalWindow> w;
    std::unique_ptr<Peer> peer;

    EventLog& log() { return w->LB(); }
    RepeatControl& control() { return w->repeatControl(); }
    QString lastLine() { return log().line(log().count() - 1); }
    QString verdict()
    {
        const QStringList lines = log().lines().filter(QRegularExpression("^Repeat (done|stop)"));
        return lines.isEmpty() ? QString() : lines.last();
    }

    void connectPeer()
    {
        peer = std::make_unique<Peer>();
        w->findChild<QLineEdit*>("txtIP")->setText("127.0.0.1");
        w->findChild<QLineEdit*>("txtPortNo")->setText(QString::number(peer->serverPort()));
        w->findChild<QPushButton*>("CmdConnect")->click();
        QTRY_VERIFY(peer->socket && log().lines().contains("Connect Succeed"));
    }

    static RepeatPlan Every(int ms, qint64 sends)
    {
        RepeatPlan plan;
        plan.everyMs = ms;
        plan.sends = sends;
        return plan;
    }

private slots:
    void init()
    {
        w = std::make_unique<TerminalWindow>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->SetCommandText("S");
    }

    void countsMatchWhatThePeerDid()
    {
        connectPeer();
        w->controller().checkChoice().choose(FindCheck("xor"));
        const QString title = w->windowTitle();
        RepeatPlan plan = Every(100, 30);
        plan.patterns = QStringList{"^OK"};
        // Lines come into view in batches a quarter of a second apart, not one repaint a line.
        int batches = 0;
        QElapsedTimer running;
        connect(log().model(), &QAbstractItemModel::rowsInserted, this, [&] { ++batches; });
        running.start();
        control().StartRepeat(plan);
        QTRY_VERIFY(
            w->windowTitle().contains(QRegularExpression(" — repeat \\d+ of 30, \\d failed$")));
        const std::unique_ptr<QMenu> menu(w->commandLine().ContextMenu());
        QVERIFY(menu->actions().contains(&control().repeatAction()) &&
                menu->actions().contains(&control().stopAction()));
        QVERIFY(!control().repeatAction().isEnabled() && control().stopAction().isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!verdict().isEmpty(), 15000);
        QVERIFY2(verdict().startsWith("Repeat done: 30 sent, 21 answered, 3 without a reply within "
                                      "100 ms, 4 failed their check value, 2 not matched, 0 "
                                      "skipped; answer "),
                 qPrintable(verdict()));
        QCOMPARE(peer->commands, 30);
        QVERIFY2(batches <= running.elapsed() / 250 + 2, qPrintable(QString::number(batches)));
        QCOMPARE(w->windowTitle(), title);
        QCOMPARE(log().lines().filter("[Output]------S<53>").size(), 30);
        // Each failed send's line is red, what failed in its tooltip; F8 and Shift+F8 step
        // between them.
        QStringList failures;
        for (int row = 0; row < log().count(); ++row)
            if (log().record(row).flagged())
                failures << log().record(row).details();
        QCOMPARE(failures.size(), 9);
        QCOMPARE(failures.mid(0, 4), QStringList({"repeat 7: failed its check value: xor 05, "
                                                  "expected 04",
                                                  "repeat 10: no reply within 100 ms",
                                                  "repeat 11: not matched by \"^OK\"",
                                                  "repeat 14: failed its check value: xor 05, "
                                                  "expected 04"}));
        QVERIFY(log().lines().contains("Repeat 10: no reply within 100 ms"));
        w->findChild<QLineEdit*>("txtChar")->setFocus();
        QTest::keyClick(w.get(), Qt::Key_F8);
        QTest::keyClick(w.get(), Qt::Key_F8);
        QCOMPARE(log().record(log().currentIndex().row()).details(), failures.at(1));
        QTest::keyClick(w.get(), Qt::Key_F8, Qt::ShiftModifier);
        QCOMPARE(log().record(log().currentIndex().row()).details(), failures.at(0));
    }

    void afterEachReplyAndTheFirstFailure()
    {
        // The next goes once the last reply has settled; the first failure ends it when asked.
        connectPeer();
        w->controller().checkChoice().choose(FindCheck("xor"));
        MovedClock clock;
        control().SetClock(&clock);
        RepeatPlan plan = Every(0, 20);
        plan.stopAtFirstFailure = true;
        control().StartRepeat(plan);
        control().repeat()->SetFiguresEveryMs(200);
        // The laptop sleeps for an hour after the third reply.
        QTRY_VERIFY(peer->commands >= 3);
        clock.jump = 3'600'000;
        QTRY_VERIFY_WITH_TIMEOUT(!verdict().isEmpty(), 15000);
        QCOMPARE(verdict(), "Repeat stopped after 7 of 20: stopped at the first failure, repeat 7: "
                            "failed its check value: xor 05, expected 04; 7 sent, 6 answered, 0 "
                            "without a reply within 1000 ms, 1 failed their check value, 0 not "
                            "matched, 0 skipped; answer " +
                                verdict().section("; answer ", 1, 1).section(';', 0, 0) +
                                "; the clock jumped once, by 3600 s");
        QVERIFY(log().lines().filter(QRegularExpression("^Repeat at [1-7] of 20: ")).size() >= 2);
        QCOMPARE(peer->commands, 7);
    }

    void whatStopsIt_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("reason");
        QTest::newRow("Escape") << "escape"
                                << "Escape pressed";
        QTest::newRow("menu") << "menu"
                              << "Stop Repeating chosen";
        QTest::newRow("Close") << "Command2"
                               << "Close pressed";
        QTest::newRow("baud") << "baud"
                              << "the baud rate changed";
        QTest::newRow("serial") << "Option2"
                                << "the transport changed";
        QTest::newRow("peer") << "peer"
                              << "the peer closed the connection";
    }
    void whatStopsIt()
    {
        QFETCH(QString, how);
        QFETCH(QString, reason);
        connectPeer();
        control().StartRepeat(Every(100, 0));
        QTRY_VERIFY(peer->commands >= 2);
        auto* command = w->findChild<QLineEdit*>("txtChar");
        if (how == "escape") {
            // A widget that takes Escape itself, such as a find bar, keeps it from the repeat, and
            // so does a popup; with neither the key stops it.
            QLineEdit bar(w.get());
            QObject::connect(
                new QShortcut(Qt::Key_Escape, &bar, nullptr, nullptr, Qt::WidgetShortcut),
                &QShortcut::activated, &bar, &QLineEdit::clear);
            bar.setText("find");
            bar.show();
            bar.setFocus();
            QTest::keyClick(&bar, Qt::Key_Escape);
            QVERIFY(bar.text().isEmpty() && control().isRunning());
            command->setFocus();
            command->setText("S");
            QTest::keyClick(command, Qt::Key_Escape);
        } else if (how == "menu") {
            control().stopAction().trigger();
        } else if (how == "baud") {
            QTest::keyClick(w->findChild<QComboBox*>("Combo2")->lineEdit(), Qt::Key_1);
        } else if (how == "peer") {
            peer->socket->disconnectFromHost();
        } else {
            w->findChild<QAbstractButton*>(how)->click();
        }
        QTRY_VERIFY(!verdict().isEmpty());
        QVERIFY2(verdict().startsWith("Repeat stopped after ") &&
                     verdict().contains(": " + reason + "; "),
                 qPrintable(verdict()));
        QVERIFY(!control().isRunning() && control().repeatAction().isEnabled());
        // The link reads as before: a reply settles into a line of its own.
        if (how == "escape" || how == "menu") {
            peer->socket->write("late");
            QTRY_COMPARE(lastLine(), "[Input]------late");
        }
    }

    void escapeInAPopupIsThePopups()
    {
        connectPeer();
        control().StartRepeat(Every(100, 0));
        QTRY_VERIFY(peer->commands >= 1);
        auto* menu = new QMenu(w.get());
        menu->addAction("entry");
        menu->popup(w->mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());
        QVERIFY(control().isRunning());
        // The window closed while a repeat runs takes the repeat with it, its links first.
        w.reset();
    }

    void refusedBeforeAnythingIsSent()
    {
        control().StartRepeat(Every(100, 5));
        QTRY_COMPARE(lastLine(), "Repeat not started: Connect State:Closed");
        connectPeer();
        w->SetCommandText("AB<02");
        control().StartRepeat(Every(100, 5));
        QCOMPARE(lastLine(), "Repeat not started: Nothing sent: \"<\" at position 3 is not "
                             "closed by \">\"");
        QVERIFY(!control().isRunning() && control().repeatAction().isEnabled());
        QCOMPARE(peer->commands, 0);
    }

    void toAControllerThatCallsNotOverUdp()
    {
        w->controller().Link_Click(LinkChoice::Kind::TcpServer);
        quint16 port = 0;
        {
            QTcpServer probe; // a port free a moment ago
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort();
        }
        w->findChild<QLineEdit*>("txtIP")->setText("127.0.0.1");
        w->findChild<QLineEdit*>("txtPortNo")->setText(QString::number(port));
        w->findChild<QPushButton*>("CmdConnect")->click();
        control().StartRepeat(Every(0, 4));
        QTRY_COMPARE(lastLine(), "Repeat not started: Connect State:Listening....");
        QTcpSocket controller;
        connect(&controller, &QTcpSocket::readyRead, this,
                [&controller] { controller.write(QByteArray(controller.readAll().size(), 'k')); });
        controller.connectToHost(QHostAddress::LocalHost, port);
        QTRY_VERIFY(log().lines().contains("Connect Succeed"));
        control().StartRepeat(Every(0, 4));
        QTRY_VERIFY_WITH_TIMEOUT(!verdict().isEmpty(), 10000);
        QVERIFY2(verdict().startsWith("Repeat done: 4 sent, 4 answered"), qPrintable(verdict()));
        QCOMPARE(log().lines().filter("[Input]------k").size(), 4);

        w->controller().Link_Click(LinkChoice::Kind::Udp);
        control().StartRepeat(Every(0, 4));
        QTRY_COMPARE(lastLine(), "Repeat not started: not over UDP, where every datagram is a "
                                 "reply of its own");
    }

    void slotsSkippedWhileTheLastCommandLeavesTheLine()
    {
        // A far device that stops reading: the line fills, later sends are skipped and counted.
        PtyPair pty;
        SetPortDevice(5, pty.slavePath());
        w->findChild<QComboBox*>("CmbComPort")->setCurrentIndex(4);
        w->findChild<QRadioButton*>("Option2")->click();
        QVERIFY(w->serialLink().IsOpen());
        w->SetCommandText(QString(8000, 'A'));
        control().StartRepeat(Every(20, 0));
        QTRY_VERIFY_WITH_TIMEOUT(control().repeat() && control().repeat()->tally().skipped() > 0,
                                 20000);
        control().Stop("enough");
        QVERIFY(verdict().contains(QRegularExpression(" [1-9]\\d* skipped;")));
    }

    void dialogBounds()
    {
        RepeatDialog dialog(RepeatPlan{}, "xor");
        const auto spin = [&](const char* name) { return dialog.findChild<QSpinBox*>(name); };
        QCOMPARE(std::pair(spin("everyMs")->minimum(), spin("everyMs")->maximum()),
                 std::pair(10, 3600000));
        QCOMPARE(std::pair(spin("count")->minimum(), spin("count")->maximum()),
                 std::pair(1, 1000000));
        QCOMPARE(spin("waitMs")->value(), 1000);
        dialog.findChild<QRadioButton*>("times")->setChecked(true);
        spin("everyMs")->setValue(5);
        spin("count")->setValue(2000000);
        RepeatPlan plan = dialog.plan();
        QVERIFY(plan.everyMs == 10 && plan.sends == 1000000 && plan.patterns.isEmpty());
        dialog.findChild<QRadioButton*>("afterReply")->setChecked(true);
        dialog.findChild<QRadioButton*>("untilStopped")->setChecked(true);
        dialog.findChild<QCheckBox*>("stopAtFirst")->setChecked(true);
        dialog.findChild<QLineEdit*>("pattern")->setText("(");
        dialog.accept();
        QVERIFY(dialog.result() != QDialog::Accepted &&
                !dialog.findChild<QLabel*>("problem")->text().isEmpty());
        dialog.findChild<QLineEdit*>("pattern")->setText("^<06>");
        dialog.accept();
        plan = dialog.plan();
        QVERIFY(dialog.result() == QDialog::Accepted && plan.everyMs == 0 && plan.sends == 0 &&
                plan.stopAtFirstFailure && plan.patterns == QStringList{"^<06>"});
        // Offered again as last chosen.
        RepeatDialog again(plan, {});
        QVERIFY(again.findChild<QRadioButton*>("afterReply")->isChecked() &&
                again.findChild<QRadioButton*>("untilStopped")->isChecked());
    }
};

QTEST_MAIN(tst_RepeatWindow)
#include "tst_repeatwindow.moc"
