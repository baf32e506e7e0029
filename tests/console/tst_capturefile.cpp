#include "console/Module1.h"

#include <QtTest>

class TestCaptureFile : public QObject
{
    Q_OBJECT
private slots:
    void appendsLinesBesideTheProgramAndRecoversFromALostOne()
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
        QCOMPARE(contents(path), "<02>AB<03><0D><0A>\r\n" + high.toLatin1() + "\r\n");
        // A directory where the file was: the line is lost, and the caller is told why.
        QVERIFY(QFile::remove(path) && QDir().mkdir(path));
        QString why;
        QVERIFY(!AppendCaptureLine(path, "lost", &why) && !why.isEmpty());
        QVERIFY(QDir(path).removeRecursively());
        QVERIFY(AppendCaptureLine(path, "kept"));
        QCOMPARE(contents(path), "kept\r\n");
    }

private:
    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

QTEST_GUILESS_MAIN(TestCaptureFile)
#include "tst_capturefile.moc"
