#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The commands sent in this run, recalled newest first as a shell recalls its history: a command
// sent twice in a row is kept once, and stepping back down past the newest gives back the text
// that was being edited when the walk began. Nothing is kept between runs.
class CommandHistory
{
public:
    // A command sent; empty text is not one. Ends any walk.
    void Add(const QString& command);
    // The next older command, or nothing when there is none. The first step of a walk keeps
    // editing, the command line's text, to give back at the end.
    std::optional<QString> Older(const QString& editing);
    // The next newer command, the kept text past the newest, or nothing when not walking.
    std::optional<QString> Newer();

    const QStringList& commands() const { return m_commands; }

private:
    QStringList m_commands; // oldest first
    qsizetype m_at = 0;     // the command shown; m_commands.size() when none is
    QString m_editing;
};
