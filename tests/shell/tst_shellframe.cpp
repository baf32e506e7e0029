// accessterm send, listen and answer with --frame: the frame each asks of a pseudo-terminal, as the
// preloaded tcsetattr shim records it, and the frames and links it refuses.
#include "support/PtyPair.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class tst_ShellFrame : public QObject
{
    Q_OBJECT
private slots:
    void frame_data()
    {
        // %1: the pseudo-terminal, %2: a file that is both a check file and a rule
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("asked"); // the frame the line was opened with
        QTest::newRow("7e1") << "listen --serial %1 --frame 7e1 --for 0.1" << 0 << ""
                             << "7E1";
        QTest::newRow("8M1") << "listen --serial %1 --frame 8M1 --for 0.1" << 0 << ""
                             << "8M1";
        QTest::newRow("8O1 baud") << "listen --serial %1 --baud 9600 --frame 8O1 --for 0.1" << 0
                                  << ""
                                  << "8O1";
        QTest::newRow("answer 7E1")
            << "answer --serial %1 --answers %2 --frame 7E1 --for 0.1" << 0 << ""
            << "7E1";
        QTest::newRow("8N2 send") << "send --serial %1 --frame 8n2 --wait 50 A" << 1 << ""
                                  << "8N2";
        // Refused before anything is sent: the line is not even opened.
        QTest::newRow("a byte above 7F under 7 data bits")
            << "send --serial %1 --frame 7O1 X A<80>" << 2
            << "Command 2: Nothing sent: byte 80 needs 8 data bits, and the line runs 7O1\n"
            << "";
        QTest::newRow("a check value above 7F under 7 data bits")
            << "check --serial %1 --frame 7E1 --checksum sum8 %2" << 2
            << "%2 line 1: byte B3 needs 8 data bits, and the line runs 7E1\n"
            << "";
        QTest::newRow("unknown") << "listen --serial %1 --frame 9X1" << 2
                                 << "accessterm: --frame wants 8N1, 8E1, 8O1, 8M1, 8S1, 7E1, "
                                    "7O1 or 8N2\n"
                                 << "";
        QTest::newRow("with --tcp") << "send --tcp 127.0.0.1:9 --frame 8E1 A" << 2
                                    << "accessterm: --frame is for a serial port\n"
                                    << "";
    }

    void frame()
    {
        QFETCH(QString, arguments);
        QFETCH(int, status);
        QFETCH(QString, error);
        QFETCH(QString, asked);
        PtyPair pty;
        QTemporaryDir dir;
        const QString requests = dir.filePath("requests");
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_PRELOAD", TCSETATTR_SHIM);
        env.insert("ACCESSTERM_TCSETATTR_LOG", requests);
        program.setProcessEnvironment(env);
        const QString check = dir.filePath("check");
        QFile script(check);
        QVERIFY(script.open(QIODevice::WriteOnly) && script.write("send zz = B\n") &&
                script.flush());
        program.start(ACCESSTERM_PROGRAM,
                      arguments.replace("%1", pty.slavePath()).replace("%2", check).split(' '));
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitCode(), status);
        const QString err = QString::fromUtf8(program.readAllStandardError());
        QCOMPARE(err.left(error.size()), error.replace("%2", check));
        // The first request opens the line; a close sets back what it found.
        QFile file(requests);
        const bool read = file.open(QIODevice::ReadOnly);
        QCOMPARE(read ? QString::fromLatin1(file.readAll()).section('\n', 0, 0) : QString(), asked);
    }
};

QTEST_MAIN(tst_ShellFrame)
#include "tst_shellframe.moc"
