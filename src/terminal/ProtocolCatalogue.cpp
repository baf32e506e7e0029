#include "terminal/ProtocolCatalogue.h"

#include "protocol/DescriptionReader.h"
#include "terminal/BuiltinProtocols.h"
#include "terminal/TextFileRead.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

namespace
{

const QString kBuiltIn = QStringLiteral("built in");

ProtocolEntry Refused(const QString& name, const QString& origin, const QString& refusal)
{
    ProtocolEntry entry;
    entry.name = name;
    entry.origin = origin;
    entry.refusal = refusal;
    return entry;
}

// The line of the first byte that is not UTF-8 text; 0 when all of it is.
int FirstLineNotUtf8(const QByteArray& text)
{
    QStringDecoder whole(QStringDecoder::Utf8);
    if (const QString decoded = whole.decode(text); !whole.hasError())
        return 0;
    int number = 1;
    for (qsizetype at = 0, end; at <= text.size(); at = end + 1, ++number) {
        end = text.indexOf('\n', at);
        if (end < 0)
            end = text.size();
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString decoded = decoder.decode(QByteArrayView(text).sliced(at, end - at));
        if (decoder.hasError())
            return number;
    }
    return number - 1;
}

bool IsDescriptionFile(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive) && fileName.size() > 4;
}

} // namespace

ProtocolCatalogue::ProtocolCatalogue(const QString& folder, QObject* parent)
    : QObject(parent), m_folder(folder)
{
    for (const QString& name : BuiltinProtocols::Names()) {
        ProtocolEntry entry;
        entry.name = name;
        entry.origin = kBuiltIn;
        entry.title = BuiltinProtocols::Title(name);
        entry.text = BuiltinProtocols::Text(name);
        entry.description = BuiltinProtocols::Find(name);
        m_entries.append(entry);
    }
}

const QList<ProtocolEntry>& ProtocolCatalogue::Entries()
{
    Refresh();
    return m_entries;
}

bool ProtocolCatalogue::Refresh()
{
    const QFileInfoList files =
        QDir(m_folder).entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    const QString shownFolder = QFileInfo(m_folder).fileName();
    const QStringList builtins = BuiltinProtocols::Names();
    QList<Read> read;
    bool changed = false;
    QString folderFailure;
    for (const QFileInfo& file : files) {
        if (!IsDescriptionFile(file.fileName()))
            continue;
        if (read.size() == kFilesAtMost) {
            folderFailure = QStringLiteral("%1: only the first %2 descriptions read")
                                .arg(shownFolder)
                                .arg(kFilesAtMost);
            break;
        }
        const QString shown = shownFolder + QLatin1Char('/') + file.fileName();
        TextFileRead fileRead = ReadTextFile(file.filePath(), kDescriptionAtMost);
        const QByteArray& content = fileRead.content;
        const QString& failure = fileRead.failure;
        const auto before = std::find_if(m_read.cbegin(), m_read.cend(), [&](const Read& earlier) {
            return earlier.entry.origin == file.filePath() && earlier.content == content &&
                   earlier.failure == failure;
        });
        if (before != m_read.cend()) {
            changed = changed || before - m_read.cbegin() != read.size();
            read.append(*before);
            continue;
        }
        changed = true;
        const QString name = file.completeBaseName();
        ProtocolEntry entry;
        if (!failure.isEmpty())
            entry = Refused(name, file.filePath(), shown + QStringLiteral(" not read: ") + failure);
        else if (builtins.contains(name))
            entry = Refused(
                name, file.filePath(),
                QStringLiteral("%1: \"%2\" is the name of a protocol built in").arg(shown, name));
        else
            entry = ReadText(content, name, shown);
        entry.origin = file.filePath();
        if (!entry.ok())
            emit Problem(entry.refusal);
        read.append({content, failure, entry});
    }
    // Told once, as a file's mistake is, not each time the folder is read.
    if (folderFailure != m_folderFailure && !folderFailure.isEmpty())
        emit Problem(folderFailure);
    m_folderFailure = folderFailure;
    changed = changed || read.size() != m_read.size();
    if (!changed)
        return false;
    m_read = read;
    m_entries.resize(builtins.size());
    for (const Read& file : m_read)
        m_entries.append(file.entry);
    return true;
}

ProtocolEntry ProtocolCatalogue::Find(const QString& nameOrPath)
{
    // A built-in's name needs no reading of the folder, whose names never hide a built-in's.
    const qsizetype builtins = BuiltinProtocols::Names().size();
    for (qsizetype n = 0; n < builtins; ++n) {
        if (m_entries.at(n).name == nameOrPath)
            return m_entries.at(n);
    }
    for (const ProtocolEntry& entry : Entries()) {
        if (entry.name == nameOrPath)
            return entry;
    }
    const QFileInfo file(nameOrPath);
    if (file.exists() || nameOrPath.contains(QLatin1Char('/')))
        return ReadFile(nameOrPath, nameOrPath);
    return Refused(nameOrPath, QString(),
                   QStringLiteral("\"%1\" is neither a protocol's name nor a description file")
                       .arg(nameOrPath));
}

ProtocolEntry ProtocolCatalogue::ReadFile(const QString& path, const QString& shownAs)
{
    const QString name =
        QFileInfo(path).fileName().endsWith(QLatin1String(".txt"), Qt::CaseInsensitive)
            ? QFileInfo(path).completeBaseName()
            : QFileInfo(path).fileName();
    auto [content, failure] = ReadTextFile(path, kDescriptionAtMost);
    if (failure.isEmpty() && !QFileInfo::exists(path))
        failure = QStringLiteral("no such file");
    ProtocolEntry entry =
        failure.isEmpty() ? ReadText(content, name, shownAs)
                          : Refused(name, path, shownAs + QStringLiteral(" not read: ") + failure);
    entry.origin = path;
    return entry;
}

ProtocolEntry ProtocolCatalogue::ReadText(const QByteArray& text, const QString& name,
                                          const QString& shownAs)
{
    if (const int line = FirstLineNotUtf8(text))
        return Refused(name, shownAs,
                       QStringLiteral("%1 line %2: not UTF-8 text").arg(shownAs).arg(line));
    const QByteArray utf8Name = name.toUtf8();
    const DescriptionReading reading =
        ReadDescription(std::string_view(text.constData(), size_t(text.size())),
                        std::string_view(utf8Name.constData(), size_t(utf8Name.size())));
    ProtocolEntry entry;
    entry.name = name;
    entry.origin = shownAs;
    entry.text = QString::fromUtf8(text);
    if (!reading.ok()) {
        entry.refusal = QString::fromStdString(reading.Describe(shownAs.toStdString()));
        return entry;
    }
    entry.description = reading.description;
    entry.title = QString::fromStdString(reading.description->title);
    return entry;
}
