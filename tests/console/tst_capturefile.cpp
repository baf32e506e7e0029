#include "commandline/CommandList.h"
#include "console/Module1.h"
#include "support/PtyPair.h"
#include "support/Terminal.h"
#include "terminal/TrafficLines.h"

#include <QtTest>

#include <sys/fsuid.h>

class TestCaptureFile : public QObject
{
    Q_OBJECT
private slots:
    void appendsLinesBesideTheProgramAndRecoversFromALostOne()
    {
        const QString beside = CaptureFile();
        QFile::remove(beside);
        QString path;
        QVERIFY(AppendCaptureReply(path, "\2AB\3\r\n"));
        QCOMPARE(path, beside);
        // Raw bytes of the code page, two lines written together; a reply longer than a slice
        // of rendering is one line all the same.
        QByteArray high;
        for (int c = 128; c < 256; ++c)
            high += char(c);
        const QByteArray zeros(kRenderSliceBytes + 1, '\0');
        const QByteArray lines[] = {high, zeros};
        QVERIFY(AppendCaptureReplies(path, lines));
        QCOMPARE(contents(path), "<02>AB<03><0D><0A>\r\n" + high + "\r\n" +
                                     QByteArray("<00>").repeated(zeros.size()) + "\r\n");
        // A directory where the file was: the line is lost, and the caller is told why.
        QVERIFY(QFile::remove(path) && QDir().mkdir(path));
        QString why;
        QVERIFY(!AppendCaptureReply(path, "lost", &why) && !why.isEmpty());
        QVERIFY(QDir(path).removeRecursively());
        QVERIFY(AppendCaptureReply(path, "kept"));
        QCOMPARE(contents(path), "kept\r\n");
        QFile::remove(path);
    }

    void unwritableProgramDirectoryCapturesToTheDataFolder()
    {
        QTemporaryDir data;
        QVERIFY(QFile::setPermissions(data.path(), QFileDevice::Permissions(0x7777)));
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        const QString fallback = data.filePath("accessterm/SaveFile.TXT");
        Terminal terminal;
        PtyPair pty;
        SetPortDevice(1, pty.slavePath());
        terminal.fields.portIndex = 0;
        terminal.controller.Option2_Click();
        QVERIFY(terminal.serial.IsOpen());
        CommandList list;
        auto reply = [&](const QByteArray& bytes) {
            QVERIFY(pty.write(bytes));
            QTRY_VERIFY_WITH_TIMEOUT(terminal.log.lines().contains("[Input]------" + bytes), 5000);
        };
        {
            // The program's directory read-only, and as root (who writes anywhere) file access
            // checked as the unprivileged user "nobody" meanwhile.
            const QString dir = QCoreApplication::applicationDirPath();
            const QFile::Permissions kept = QFile::permissions(dir);
            QFile::setPermissions(dir, kept & ~QFile::Permissions(0x2222));
            const int fsuid = geteuid() == 0 ? setfsuid(65534) : -1;
            const auto restore = qScopeGuard([&] {
                if (fsuid >= 0)
                    setfsuid(uid_t(fsuid));
                QFile::setPermissions(dir, kept);
            });
            list.Load(CommandListFile()); // the command list lives with the captures
            QVERIFY(list.Append("door", "<02>OD<03>", nullptr));
            reply("R1");
            reply("R2");
        }
        QCOMPARE(list.path(), data.filePath("accessterm/Commands.TXT"));
        QCOMPARE(list.commands().size(), 1);
        QCOMPARE(contents(fallback), QByteArray("R1\r\nR2\r\n"));
        QCOMPARE(terminal.log.lines().filter("Capture file: "),
                 QStringList{"Capture file: " + fallback +
                             " (the program's directory is not writable)"});
        reply("R3"); // writable again: the program's directory comes first
        QCOMPARE(contents(CaptureFile()), QByteArray("R3\r\n"));
        QCOMPARE(contents(fallback), QByteArray("R1\r\nR2\r\n"));
        QFile::remove(CaptureFile());
        qunsetenv("XDG_DATA_HOME");
    }

private:
    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

QTEST_MAIN(TestCaptureFile)
#include "tst_capturefile.moc"
