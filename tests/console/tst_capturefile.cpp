#include "console/Module1.h"

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
    void appendsLinesBesideTheProgram()
    {
        const QString beside =
            QDir(QCoreApplication::applicationDirPath()).filePath("SaveFile.TXT");
        QFile::remove(beside);
        QString path;
        QVERIFY(AppendCaptureLine(path, "<02>AB<03><0D><0A>"));
        QCOMPARE(path, beside);
        // Raw bytes of the code page, one write a line, the file closed in between.
        QString high;
        for (int c = 128; c < 256; ++c)
            high += QChar(c);
        QVERIFY(AppendCaptureLine(path, high));
        QCOMPARE(Contents(path), "<02>AB<03><0D><0A>\r\n" + high.toLatin1() + "\r\n");
        QVERIFY(QFile::remove(path));
        QVERIFY(AppendCaptureLine(path, "again"));
        QCOMPARE(Contents(path), QByteArray("again\r\n"));
        QFile::remove(path);
    }

    void reportsALostLineAndRecovers()
    {
        QTemporaryDir dir;
        QString path = dir.filePath("SaveFile.TXT");
        // A directory where the file should be: the line is lost, and the caller is told why.
        QVERIFY(QDir(dir.path()).mkdir("SaveFile.TXT"));
        QString why;
        QVERIFY(!AppendCaptureLine(path, "lost", &why));
        QVERIFY(!why.isEmpty());
        QVERIFY(QDir(path).removeRecursively());
        QVERIFY(AppendCaptureLine(path, "kept"));
        QCOMPARE(Contents(path), QByteArray("kept\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestCaptureFile)
#include "tst_capturefile.moc"
