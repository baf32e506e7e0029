// The protocols the window and the shell choose from: the built-ins, then the engineer's own
// descriptions in the folder, refused ones kept with the file, line and reason, read again when
// they change on disk.
#include "protocol/ProtocolDescription.h"
#include "terminal/ProtocolCatalogue.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace
{

const QByteArray Gate = "title Gate 3\nstart 02\ndata\nend 03\ncheck bcc from 1\n";

void Write(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QStringList Names(const QList<ProtocolEntry>& entries)
{
    QStringList names;
    for (const ProtocolEntry& entry : entries)
        names << entry.name + (entry.ok() ? QString() : QStringLiteral("!"));
    return names;
}

} // namespace

class tst_ProtocolCatalogue : public QObject
{
    Q_OBJECT
private slots:
    void folderOfDescriptions()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Protocols"));
        QDir().mkpath(folder);
        Write(folder + "/gate.txt", Gate);
        Write(folder + "/bad.txt", "start 02\ndata\nend 03\ncheck bcc from 1\nmessage m\n"
                                   "# a field\nfield X u17\n");
        Write(folder + "/osdp.txt", Gate);
        Write(folder + "/big.txt", QByteArray(ProtocolCatalogue::kDescriptionAtMost + 1, '#'));
        Write(folder + "/edge.txt",
              Gate + QByteArray(ProtocolCatalogue::kDescriptionAtMost - Gate.size() - 1, '#') +
                  "\n");
        Write(folder + "/latin.TXT", "\n# T\xFCr\n" + Gate);
        Write(folder + "/notes.md", Gate);
        QVERIFY(::mkfifo(QFile::encodeName(folder + "/pipe.txt").constData(), 0600) == 0);
        ProtocolCatalogue catalogue(folder);
        QSignalSpy problems(&catalogue, &ProtocolCatalogue::Problem);
        QCOMPARE(Names(catalogue.Entries()),
                 QStringList({"osdp", "modbus-rtu", "stx-etx-bcc", "bad!", "big!", "edge", "gate",
                              "latin!", "osdp!", "pipe!"}));
        const QList<ProtocolEntry>& entries = catalogue.Entries();
        QCOMPARE(entries[0].origin, QStringLiteral("built in"));
        QCOMPARE(entries[6].origin, folder + "/gate.txt");
        QCOMPARE(entries[6].title, QStringLiteral("Gate 3"));
        QCOMPARE(entries[6].text, QString::fromUtf8(Gate));
        QStringList told;
        for (const QList<QVariant>& problem : problems)
            told << problem[0].toString();
        QCOMPARE(told, QStringList({
                           "Protocols/bad.txt line 7: \"u17\" is not a field type",
                           "Protocols/big.txt not read: 65537 bytes, more than the 64 KiB read "
                           "at most",
                           "Protocols/latin.TXT line 2: not UTF-8 text",
                           "Protocols/osdp.txt: \"osdp\" is the name of a protocol built in",
                           "Protocols/pipe.txt not read: a named pipe, not a regular file",
                       }));
        // Read again only when changed, and then told again.
        QVERIFY(!catalogue.Refresh());
        QCOMPARE(problems.size(), 5);
        QFile::remove(folder + "/big.txt");
        QVERIFY(catalogue.Refresh());
        QCOMPARE(problems.size(), 5);
        Write(folder + "/gate.txt", Gate + "field X u17\n");
        Write(folder + "/bad.txt", Gate);
        QVERIFY(catalogue.Refresh());
        QCOMPARE(problems.size(), 6);
        QCOMPARE(problems.last()[0].toString(),
                 QStringLiteral("Protocols/gate.txt line 6: \"u17\" is not a field type"));
        QCOMPARE(Names(catalogue.Entries()),
                 QStringList({"osdp", "modbus-rtu", "stx-etx-bcc", "bad", "edge", "gate!", "latin!",
                              "osdp!", "pipe!"}));
    }

    void tooManyFilesToldOnce()
    {
        QTemporaryDir dir;
        for (int n = 0; n <= ProtocolCatalogue::kFilesAtMost; ++n)
            Write(dir.filePath(QStringLiteral("p%1.txt").arg(n, 3, 10, QLatin1Char('0'))), Gate);
        ProtocolCatalogue catalogue(dir.path());
        QSignalSpy problems(&catalogue, &ProtocolCatalogue::Problem);
        QCOMPARE(catalogue.Entries().size(), 3 + ProtocolCatalogue::kFilesAtMost);
        QCOMPARE(catalogue.Entries().last().name, QStringLiteral("p255"));
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems[0][0].toString(),
                 dir.path().section('/', -1) + ": only the first 256 descriptions read");
    }

    void findByNameOrPath()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Protocols"));
        QDir().mkpath(folder);
        Write(folder + "/gate.txt", Gate);
        Write(dir.filePath("lift.txt"), Gate);
        ProtocolCatalogue catalogue(folder);
        QCOMPARE(catalogue.Find("modbus-rtu").description->name, std::string("modbus-rtu"));
        QCOMPARE(catalogue.Find("gate").description->title, std::string("Gate 3"));
        const ProtocolEntry lift = catalogue.Find(dir.filePath("lift.txt"));
        QVERIFY(lift.ok());
        QCOMPARE(lift.name, QStringLiteral("lift"));
        QCOMPARE(lift.description->name, std::string("lift"));
        QCOMPARE(catalogue.Find("nope").refusal,
                 QStringLiteral("\"nope\" is neither a protocol's name nor a description file"));
        QCOMPARE(catalogue.Find(dir.filePath("none.txt")).refusal,
                 dir.filePath("none.txt") + " not read: no such file");
        QVERIFY(!catalogue.Find(dir.path()).ok());
        QCOMPARE(ProtocolCatalogue::ReadText("title x\n\xFF", "x", "x.txt").refusal,
                 QStringLiteral("x.txt line 2: not UTF-8 text"));
    }
};

QTEST_GUILESS_MAIN(tst_ProtocolCatalogue)
#include "tst_protocolcatalogue.moc"
