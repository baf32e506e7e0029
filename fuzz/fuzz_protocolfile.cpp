// A description file in the folder of descriptions, read as the window and the shell read it:
// whatever its bytes (any encoding, sizes about the limit) and however it is replaced between
// readings, no crash, and a refused one names its file, and a line of it when it says one. The
// first byte chooses the file's size (the rest repeated past the limit, or not) and whether the
// file is replaced by renaming another over it or written in place.
#include "terminal/ProtocolCatalogue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace
{

void Write(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(content);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir dir;
    static const QString folder = [] {
        QDir().mkpath(dir.filePath(QStringLiteral("Protocols")));
        return dir.filePath(QStringLiteral("Protocols"));
    }();
    if (size == 0)
        return 0;
    const std::uint8_t how = data[0];
    QByteArray content(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if ((how & 1) && !content.isEmpty())
        content = content.repeated(int(ProtocolCatalogue::kDescriptionAtMost / content.size()) +
                                   (how >> 1 & 1));
    const QString path = folder + QStringLiteral("/fuzz.txt");
    ProtocolCatalogue catalogue(folder);
    Write(path, "start 02\ndata\nend 03\ncheck bcc from 1\n");
    if (!catalogue.Refresh() || !catalogue.Entries().last().ok())
        std::abort();
    if (how & 4) {
        Write(path + QStringLiteral(".new"), content);
        QFile::remove(path);
        QFile::rename(path + QStringLiteral(".new"), path);
    } else {
        Write(path, content);
    }
    catalogue.Refresh();
    const ProtocolEntry entry = catalogue.Entries().last();
    const ProtocolEntry direct = ProtocolCatalogue::ReadText(content, "fuzz", "Protocols/fuzz.txt");
    if (entry.name != QLatin1String("fuzz") || entry.ok() != entry.refusal.isEmpty())
        std::abort();
    if (content.size() <= ProtocolCatalogue::kDescriptionAtMost && entry.refusal != direct.refusal)
        std::abort();
    if (!entry.ok() && !entry.refusal.startsWith(QLatin1String("Protocols/fuzz.txt")))
        std::abort();
    const qsizetype lines = content.count('\n') + 1;
    const qsizetype at = entry.refusal.indexOf(QLatin1String(" line "));
    if (at == 18 && entry.refusal.mid(at + 6).section(QLatin1Char(':'), 0, 0).toLongLong() > lines)
        std::abort();
    QFile::remove(path);
    return 0;
}
