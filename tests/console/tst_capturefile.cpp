#include "console/Module1.h"
#include "support/PtyPair.h"
#include "support/Terminal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/fsuid.h>
#include <unistd.h>

namespace
{

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestCaptureFile : public QObject
{
    Q_OBJECT
private slots:
    void appendsLinesInOrder();
    void createsADeletedFileAgain();
    void reportsALostLineAndRecovers();
    void writesRawBytesOfTheCodePage();
    void emptyPathIsBesideTheProgram();
    void unwritableProgramDirectoryCapturesToTheDataFolder();
};

void TestCaptureFile::appendsLinesInOrder()
{
    QTemporaryDir dir;
    QString path = dir.filePath("SaveFile.TXT");
    QVERIFY(AppendCaptureLine(path, "<02>AB<03><0D><0A>"));
    QVERIFY(AppendCaptureLine(path, "second"));
    QCOMPARE(Contents(path), QByteArray("<02>AB<03><0D><0A>\r\nsecond\r\n"));
}

void TestCaptureFile::createsADeletedFileAgain()
{
    QTemporaryDir dir;
    QString path = dir.filePath("SaveFile.TXT");
    AppendCaptureLine(path, "one");
    QVERIFY(QFile::remove(path));
    AppendCaptureLine(path, "two");
    QCOMPARE(Contents(path), QByteArray("two\r\n"));
}

void TestCaptureFile::reportsALostLineAndRecovers()
{
    QTemporaryDir dir;
    QString path = dir.filePath("SaveFile.TXT");
    // A directory where the file should be: the line is lost, and the caller is told why.
    QVERIFY(QDir(dir.path()).mkdir("SaveFile.TXT"));
    QString why;
    QVERIFY(!AppendCaptureLine(path, "lost", &why));
    QVERIFY(!why.isEmpty());
    QVERIFY(QFileInfo(path).isDir());
    QVERIFY(QDir(path).removeRecursively());
    QVERIFY(AppendCaptureLine(path, "kept"));
    QCOMPARE(Contents(path), QByteArray("kept\r\n"));

    // A directory that cannot hold files (its parent is a regular file), even for root.
    QString blocked = dir.filePath("plain/SaveFile.TXT");
    QFile plain(dir.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(!AppendCaptureLine(blocked, "lost"));
    QVERIFY(QFile::remove(dir.filePath("plain")));
    QVERIFY(QDir(dir.path()).mkdir("plain"));
    QVERIFY(AppendCaptureLine(blocked, "kept"));
    QCOMPARE(Contents(blocked), QByteArray("kept\r\n"));
}

void TestCaptureFile::writesRawBytesOfTheCodePage()
{
    QTemporaryDir dir;
    QString path = dir.filePath("SaveFile.TXT");
    QString text;
    QByteArray expected;
    for (int c = 128; c < 256; ++c) {
        text += QChar(c);
        expected += char(c);
    }
    AppendCaptureLine(path, text);
    QCOMPARE(Contents(path), expected + "\r\n");
}

void TestCaptureFile::emptyPathIsBesideTheProgram()
{
    const QString expected = QDir(QCoreApplication::applicationDirPath()).filePath("SaveFile.TXT");
    QFile::remove(expected);
    QString path;
    AppendCaptureLine(path, "here");
    QCOMPARE(path, expected);
    QCOMPARE(Contents(expected), QByteArray("here\r\n"));
    QFile::remove(expected);
}

void TestCaptureFile::unwritableProgramDirectoryCapturesToTheDataFolder()
{
    QTemporaryDir data;
    QVERIFY(QFile::setPermissions(data.path(), QFileDevice::Permissions(0x7777)));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const QString fallback = data.filePath("accessterm/SaveFile.TXT");
    QFile::remove(ProgramCaptureFile());
    Terminal terminal;
    PtyPair pty;
    qputenv("ACCESSTERM_COM1", pty.slavePath().toLocal8Bit());
    terminal.fields.portIndex = 0;
    terminal.controller.Option2_Click();
    QVERIFY(terminal.serial.IsOpen());
    const QStringList& lines = terminal.log.lines();
    auto reply = [&](const QByteArray& bytes) {
        QVERIFY(pty.write(bytes));
        QTRY_VERIFY_WITH_TIMEOUT(lines.contains("[Input]------" + bytes), 5000);
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
        reply("R1");
        reply("R2");
    }
    QCOMPARE(Contents(fallback), QByteArray("R1\r\nR2\r\n"));
    QCOMPARE(
        lines.filter("Capture file: "),
        QStringList{"Capture file: " + fallback + " (the program's directory is not writable)"});
    reply("R3"); // writable again: the program's directory comes first
    QCOMPARE(Contents(ProgramCaptureFile()), QByteArray("R3\r\n"));
    QCOMPARE(Contents(fallback), QByteArray("R1\r\nR2\r\n"));
    QFile::remove(ProgramCaptureFile());
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("ACCESSTERM_COM1");
}

QTEST_MAIN(TestCaptureFile)
#include "tst_capturefile.moc"
