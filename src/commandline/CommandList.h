#pragma once

#include <QAbstractListModel>
#include <QFileSystemWatcher>
#include <QList>
#include <QString>
#include <QTimer>

struct NamedCommand {
    QString name;
    QString command; // in the notation
};

// The command list the engineer keeps in a text file: one command a line, "name = command",
// split at the first "=", blanks around both trimmed; blank lines and lines that start with "#"
// are skipped. A line without "=", a name or a command, or whose command the notation refuses,
// is skipped with a line for the log (past kRefusalsTold of them, one line counts the rest); the
// others load. The file is read only as ReadTextFile allows, and again whenever it changes on
// disk. As a model it serves the command line's completion: the name to match
// (EditRole), "name — command" to show, and the command to put in place (CommandRole).
class CommandList : public QAbstractListModel
{
    Q_OBJECT
public:
    static constexpr int CommandRole = Qt::UserRole;
    static constexpr qsizetype kRefusalsTold = 20;

    explicit CommandList(QObject* parent = nullptr);

    // Reads the file at path now, and again after each change to it. A missing file is an empty
    // list and says nothing.
    void Load(const QString& path);
    // Appends "name = command" as a line, making the folder and the file as needed, and reads the
    // file again. False, with the reason, when the line would not load or cannot be written.
    bool Append(const QString& name, const QString& command, QString* why);

    const QString& path() const { return m_path; }
    const QList<NamedCommand>& commands() const { return m_commands; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

signals:
    // A line for the event log: a refused line of the file, or a file that cannot be read.
    void Problem(const QString& text);

private:
    void reload();
    void watch();

    QString m_path;
    QList<NamedCommand> m_commands;
    QByteArray m_content; // as last read, so an unchanged file is not read into the list again
    QString m_failure;    // why the file could not be read last time, if it could not
    QFileSystemWatcher m_watcher;
    QTimer m_settle; // gathers the several notices of one save into one reading
};
