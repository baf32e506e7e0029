// Automatic answers in the window: the rules file read when turned on and again when it changes,
// answers over a loopback peer on the link the reply came from, and the log's action.
#include "app/AutoAnswer.h"
#include "app/TerminalWindow.h"
#include "checks/CheckCatalogue.h"
#include "reading/LogActions.h"
#include "support/Terminal.h"

#include <QAction>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <sys/stat.h>

class tst_AutoAnswer : public QObject
{
    Q_OBJECT
private slots:
    void answersOverTheLink();
    void theLogOffersIt();
    void answersEachDatagramToItsSender();
};

void tst_AutoAnswer::answersOverTheLink()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Answers.TXT"));
    const auto write = [&path](const QByteArray& text) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    };
    QVERIFY(write("^<02>E(\\d+) = <06>$1\nbroken\n"));
    Terminal t;
    AutoAnswer answers(t.log, t.serial, t.tcp, t.controller.checkChoice(), path);
    QTcpServer peer;
    QVERIFY(peer.listen(QHostAddress::LocalHost));
    t.controller.Option1_Click();
    t.fields.host = QStringLiteral("127.0.0.1");
    t.fields.port = QString::number(peer.serverPort());
    t.controller.CmdConnect_Click();
    QTRY_VERIFY(peer.hasPendingConnections());
    QTcpSocket* socket = peer.nextPendingConnection();

    answers.SetOn(true);
    QCOMPARE(t.log.lines().mid(t.log.count() - 2),
             (QStringList{QStringLiteral("Answers.TXT line 2: no \" = \""),
                          QStringLiteral("Answers: on, 1 rules from ") + path}));
    socket->write("\x02"
                  "E17");
    QCOMPARE(Received(socket, 3), QByteArray("\x06"
                                             "17"));
    const int row = t.log.count() - 1;
    QCOMPARE(t.log.line(row - 1), QStringLiteral("[Input]------<02>E17"));
    QCOMPARE(t.log.line(row), QStringLiteral("[Output]------<06>17"));
    QVERIFY(t.log.record(row).summary().endsWith(
        QStringLiteral(", automatic answer, Answers.TXT line 1")));

    // An answer is no command: the next reply is not timed from it.
    socket->write("\x02"
                  "E1");
    QCOMPARE(Received(socket, 2), QByteArray("\x06"
                                             "1"));
    QCOMPARE(t.log.record(t.log.count() - 2).answerMs(), -1);

    // The file read again once it changes.
    QVERIFY(write("x = Y\n"));
    QTRY_COMPARE(t.log.line(t.log.count() - 1),
                 QStringLiteral("Answers: on, 1 rules from ") + path);
    socket->write("x");
    QCOMPARE(Received(socket, 1), QByteArray("Y"));
    // The check value chosen for commands goes with answers too.
    t.controller.checkChoice().choose(FindCheck("xor-hex"));
    socket->write("x");
    QCOMPARE(Received(socket, 3), QByteArray("Y59"));
    QCOMPARE(t.log.line(t.log.count() - 1), QStringLiteral("[Output]------Y59"));
    t.controller.checkChoice().choose(nullptr);

    // A peer that sends every answer back: two rules answering each other end after a few.
    QVERIFY(write("PING = PONG\nPONG = PING\n"));
    QTRY_COMPARE(t.log.line(t.log.count() - 1),
                 QStringLiteral("Answers: on, 2 rules from ") + path);
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->write(socket->readAll()); });
    const int before = t.log.count();
    socket->write("PING");
    QTRY_COMPARE_WITH_TIMEOUT(t.log.line(t.log.count() - 1),
                              QStringLiteral("Answers.TXT lines 1 and 2 answered their own "
                                             "answers, sent back by the peer, 5 times in a row: "
                                             "paused for 10 seconds"),
                              10000);
    QCOMPARE(t.log.lines().mid(before).filter(QStringLiteral("[Output]")).size(), 6);

    answers.SetOn(false);
    QCOMPARE(t.log.line(t.log.count() - 1), QStringLiteral("Answers: off"));
    // A named pipe in the file's place is not waited on.
    QFile::remove(path);
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    answers.SetOn(true);
    QVERIFY2(t.log.line(t.log.count() - 1).endsWith(QStringLiteral("not a regular file")),
             qPrintable(t.log.line(t.log.count() - 1)));
    answers.SetOn(false);
    socket->write("x");
    QTRY_COMPARE(t.log.line(t.log.count() - 1), QStringLiteral("[Input]------x"));
}

void tst_AutoAnswer::theLogOffersIt()
{
    TerminalWindow window;
    QAction& action = window.logActions().answerAutomatically();
    QVERIFY(window.LB().actions().contains(&action));
    QVERIFY(!action.isChecked());
    action.trigger();
    QVERIFY(window.autoAnswer().isOn());
    QVERIFY2(window.LB()
                 .line(window.LB().count() - 1)
                 .startsWith(QStringLiteral("Answers: on, no rules: ")),
             qPrintable(window.LB().line(window.LB().count() - 1)));
    action.trigger();
    QCOMPARE(window.LB().line(window.LB().count() - 1), QStringLiteral("Answers: off"));
}

void tst_AutoAnswer::answersEachDatagramToItsSender()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("Answers.TXT")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("^Q = A\n") > 0);
    file.close();
    Terminal t;
    AutoAnswer answers(t.log, t.serial, t.tcp, t.controller.checkChoice(), file.fileName());
    answers.AnswerOn(t.controller.links());
    answers.SetOn(true);
    QUdpSocket controller, other;
    QVERIFY(controller.bind(QHostAddress::LocalHost) && other.bind(QHostAddress("127.0.0.2")));
    t.fields.host = QStringLiteral("127.0.0.1");
    t.fields.port = QString::number(controller.localPort());
    t.controller.Link_Click(LinkChoice::Kind::Udp);
    t.controller.CmdConnect_Click();
    other.writeDatagram("Q", QHostAddress::LocalHost, t.controller.links().udp().LocalPort());
    QTRY_VERIFY(other.hasPendingDatagrams());
    QCOMPARE(other.receiveDatagram().data(), QByteArray("A"));
    QVERIFY(!controller.hasPendingDatagrams());
    QCOMPARE(t.log.line(t.log.count() - 1), QStringLiteral("[Output]------A"));
}

QTEST_MAIN(tst_AutoAnswer)
#include "tst_autoanswer.moc"
