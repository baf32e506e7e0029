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

// While it lives, the program's directory is read-only, and when the tests run as root (who
// writes anywhere) this thread's file access is checked as the unprivileged user "nobody".
class UnwritableProgramDirectory
{
public:
    UnwritableProgramDirectory()
    {
        QFile::setPermissions(m_dir, m_kept & ~(QFile::WriteOwner | QFile::WriteUser |
                                                QFile::WriteGroup | QFile::WriteOther));
        m_fsuid = geteuid() == 0 ? setfsuid(65534) : -1;
    }
    ~UnwritableProgramDirectory()
    {
        if (m_fsuid >= 0)
            setfsuid(uid_t(m_fsuid));
        QFile::setPermissions(m_dir, m_kept);
    }

private:
    const QString m_dir = QCoreApplication::applicationDirPath();
    const QFile::Permissions m_kept = QFile::permissions(m_dir);
    int m_fsuid = -1;
};

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
    const auto unset = qScopeGuard([] { qunsetenv("XDG_DATA_HOME"); });
    const QString fallback = data.filePath("accessterm/SaveFile.TXT");
    QCOMPARE(FallbackCaptureFile(), fallback);
    QFile::remove(ProgramCaptureFile());

    Terminal terminal;
    PtyPair pty;
    QVERIFY(pty.isValid());
    qputenv("ACCESSTERM_COM1", pty.slavePath().toLocal8Bit());
    terminal.fields.portIndex = 0;
    terminal.controller.Option2_Click();
    qunsetenv("ACCESSTERM_COM1");
    QVERIFY(terminal.serial.IsOpen());
    const QStringList& lines = terminal.log.lines();
    auto reply = [&](const QByteArray& bytes) {
        QVERIFY(pty.write(bytes));
        QTRY_VERIFY_WITH_TIMEOUT(lines.contains("[Input]------" + bytes), 5000);
    };
    {
        const UnwritableProgramDirectory readOnly;
        reply("R1");
        reply("R2");
    }
    QCOMPARE(Contents(fallback), QByteArray("R1\r\nR2\r\n"));
    QCOMPARE(lines.filter("Capture file: ").size(), 1);
    QVERIFY(lines.filter("Capture file: ").first().contains(fallback));
    QVERIFY(lines.filter("Not saved to ").isEmpty());
    // Writable again: the program's directory comes first.
    reply("R3");
    QCOMPARE(Contents(ProgramCaptureFile()), QByteArray("R3\r\n"));
    QCOMPARE(Contents(fallback), QByteArray("R1\r\nR2\r\n"));
    QFile::remove(ProgramCaptureFile());
}

QTEST_MAIN(TestCaptureFile)
#include "tst_capturefile.moc"
