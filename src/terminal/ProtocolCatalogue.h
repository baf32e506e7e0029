#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

struct Description;

// One protocol the terminal knows: built in, or described by the engineer in a file.
struct ProtocolEntry {
    QString name;   // the built-in's, or the file's name less ".txt"
    QString origin; // "built in", or the file's path
    QString title;  // its description's title; empty when refused
    QString text;   // the description as read
    std::shared_ptr<const Description> description; // null when refused
    QString refusal; // why it was refused: "Protocols/gate.txt line 7: ..."

    bool ok() const { return description != nullptr; }
};

// The protocols for the window and the shell alike: the built-ins first, then the descriptions
// in the folder Protocols beside the command list, one file a protocol ("gate.txt" is "gate"),
// in the order of their names. A folder's file is read as the command list is (a regular file
// of at most 64 KiB) and again whenever it has changed on disk; one with a mistake is kept,
// refused, with the file, the line and what is wrong, told once each time it is read.
class ProtocolCatalogue : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kDescriptionAtMost = 64 << 10;
    // More files than a folder of descriptions holds are not read.
    static constexpr qsizetype kFilesAtMost = 256;

    explicit ProtocolCatalogue(const QString& folder, QObject* parent = nullptr);

    const QString& folder() const { return m_folder; }
    // The protocols, the folder read again first; true from Refresh when anything changed.
    const QList<ProtocolEntry>& Entries();
    // The protocols as last read, the folder not read again: the built-ins before a first reading.
    const QList<ProtocolEntry>& known() const { return m_entries; }
    bool Refresh();
    // A protocol by its name, or else a description file by its path: a refused entry saying
    // why when there is neither, or the description has a mistake. A built-in's name is found
    // without reading the folder.
    ProtocolEntry Find(const QString& nameOrPath);

    // Reads one description file, shown in refusals as shownAs.
    static ProtocolEntry ReadFile(const QString& path, const QString& shownAs);
    // Reads a description's text, shown in refusals as shownAs.
    static ProtocolEntry ReadText(const QByteArray& text, const QString& name,
                                  const QString& shownAs);

signals:
    // A line for the event log: a description refused as it was read, or a folder not read.
    void Problem(const QString& text);

private:
    struct Read {
        QByteArray content;
        QString failure;
        ProtocolEntry entry;
    };
    QString m_folder;
    QList<ProtocolEntry> m_entries;
    QList<Read> m_read; // the folder's files as last read, by name
    QString m_folderFailure;
};
