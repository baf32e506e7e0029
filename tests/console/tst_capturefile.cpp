#include "console/Module1.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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

QTEST_GUILESS_MAIN(TestCaptureFile)
#include "tst_capturefile.moc"
