#include "commandline/CommandList.h"

#include "notation/EncodeCommandText.h"
#include "terminal/TextFileRead.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace
{

// Reads one line of the file into entry. False, with why, when the line is refused; a blank
// line or a comment gives true and leaves entry's name empty.
bool ParseLine(QStringView line, NamedCommand& entry, QString& why)
{
    entry = {};
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
        return true;
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0)
        why = QStringLiteral("no \"=\"");
    else if ((entry.name = line.first(equals).trimmed().toString()).isEmpty())
        why = QStringLiteral("no name");
    else if ((entry.command = line.sliced(equals + 1).trimmed().toString()).isEmpty())
        why = QStringLiteral("no command");
    else if (const EncodedCommand encoded = EncodeCommandText(entry.command.toStdU32String());
             !encoded.ok())
        why = QString::fromStdString(encoded.error->Describe());
    else
        return true;
    entry = {};
    return false;
}

} // namespace

CommandList::CommandList(QObject* parent) : QAbstractListModel(parent)
{
    // An editor may save in steps (truncate, write, rename); the file is read once they are done.
    m_settle.setSingleShot(true);
    m_settle.setInterval(50);
    connect(&m_settle, &QTimer::timeout, this, &CommandList::reload);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_settle, qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle,
            qOverload<>(&QTimer::start));
}

void CommandList::Load(const QString& path)
{
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    beginResetModel();
    m_path = path;
    m_commands.clear();
    m_content.clear();
    m_failure.clear();
    endResetModel();
    reload();
}

void CommandList::watch()
{
    // The folder is watched as well: an editor that saves by renaming a new file over the old
    // one, or by removing it first, takes the watched file away, and the new one is watched anew.
    const QString folder = QFileInfo(m_path).path();
    if (!m_watcher.directories().contains(folder) && QFileInfo(folder).isDir())
        m_watcher.addPath(folder);
    if (!m_watcher.files().contains(m_path) && QFileInfo::exists(m_path))
        m_watcher.addPath(m_path);
}

void CommandList::reload()
{
    watch();
    auto [content, failure] = ReadTextFile(m_path);
    if (content == m_content && failure == m_failure)
        return;
    m_content = content;
    m_failure = failure;
    const QString name = QFileInfo(m_path).fileName();
    QList<NamedCommand> commands;
    QStringList problems;
    if (!failure.isEmpty())
        problems << name + QStringLiteral(" not read: ") + failure + QStringLiteral(" (") + m_path +
                        QLatin1Char(')');
    const QString text = QStringDecoder(QStringDecoder::Utf8).decode(content);
    qsizetype number = 0;
    qsizetype refused = 0;
    for (QStringView line : QStringTokenizer(text, QLatin1Char('\n'))) {
        ++number;
        NamedCommand entry;
        QString why;
        if (ParseLine(line, entry, why)) {
            if (!entry.name.isEmpty())
                commands.append(std::move(entry));
        } else if (++refused <= kRefusalsTold) {
            problems << QStringLiteral("%1 line %2: %3").arg(name).arg(number).arg(why);
        }
    }
    // A file of other text must not bury the log under a line for each of its lines.
    if (refused > kRefusalsTold)
        problems
            << QStringLiteral("%1: %2 more lines refused").arg(name).arg(refused - kRefusalsTold);
    beginResetModel();
    m_commands = std::move(commands);
    endResetModel();
    for (const QString& problem : problems)
        emit Problem(problem);
}

bool CommandList::Append(const QString& name, const QString& command, QString* why)
{
    const QString line = name + QStringLiteral(" = ") + command;
    NamedCommand entry;
    QString refusal;
    if (!ParseLine(line, entry, refusal) || entry.name != name.trimmed()) {
        if (why)
            *why = refusal.isEmpty()
                       ? QStringLiteral("a name cannot hold \"=\" or start with \"#\"")
                       : refusal;
        return false;
    }
    QDir().mkpath(QFileInfo(m_path).path());
    QFile file(m_path);
    bool written = file.open(QIODevice::ReadWrite | QIODevice::Append);
    if (written) {
        // A last line the editor left without its line end keeps it.
        QByteArray bytes = line.toUtf8() + '\n';
        if (file.size() > 0 && file.seek(file.size() - 1) && file.read(1) != "\n")
            bytes.prepend('\n');
        written = file.write(bytes) == bytes.size() && file.flush();
    }
    if (!written && why)
        *why = file.errorString();
    file.close();
    reload();
    return written;
}

int CommandList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_commands.size());
}

QVariant CommandList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_commands.size())
        return {};
    const NamedCommand& entry = m_commands.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return entry.name + QStringLiteral(" — ") + entry.command;
    case Qt::EditRole:
        return entry.name;
    case CommandRole:
        return entry.command;
    default:
        return {};
    }
}
