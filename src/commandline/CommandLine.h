#pragma once

#include <QObject>
#include <QString>

#include "commandline/CommandHistory.h"
#include "commandline/CommandList.h"

class CheckChoice;
class QAction;
class QCompleter;
class QLineEdit;
class QMenu;
class QMouseEvent;
class Toolkit;

// What helps the operator compose in the command line, around its plain editing (Enter still only
// edits): Up and Down recall the commands sent in this run; typing offers the command list's
// names that start with the text, and choosing one puts its command in place; the context menu
// adds "Commands", the list, "Add to Commands…", which keeps the text under a name, and, once a
// check choice is given, "Checksum", the check value added to every command sent.
class CommandLine : public QObject
{
    Q_OBJECT
public:
    CommandLine(QLineEdit& edit, Toolkit& toolkit, QObject* parent = nullptr);

    CommandList& list() { return m_list; }
    const CommandHistory& history() const { return m_history; }
    QCompleter* completer() const { return m_completer; }

    void SetCheckChoice(CheckChoice* choice) { m_checks = choice; }
    // While not empty, the check value that is added otherwise than by the choice (by a
    // protocol): "Checksum" shows it, greyed, in place of the choice.
    void SetCheckShown(const QString& text) { m_checkShown = text; }
    // A command was sent: it can be recalled.
    void Remember(const QString& command);
    // Puts the command of an "[Output]" log line in the command line; other lines do nothing.
    void TakeFromLog(const QString& line);
    // The context menu, as the operator gets it; the caller owns it.
    QMenu* ContextMenu();
    // Actions that others offer in the context menu, after its own.
    void AddMenuActions(const QList<QAction*>& actions) { m_moreActions += actions; }

signals:
    // A line for the event log about the command list.
    void Problem(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void put(const QString& command);
    bool clickBeside(const QMouseEvent& press);
    void addToCommands();

    QLineEdit& m_edit;
    Toolkit& m_toolkit;
    CommandHistory m_history;
    CommandList m_list;
    QCompleter* m_completer = nullptr;
    CheckChoice* m_checks = nullptr;
    QString m_checkShown;
    QList<QAction*> m_moreActions;
};
