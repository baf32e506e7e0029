#include "commandline/CommandLine.h"

#include "checks/CheckCatalogue.h"
#include "checks/CheckPlacement.h"
#include "console/Toolkit.h"
#include "terminal/CheckChoice.h"
#include "terminal/TrafficLines.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QApplication>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>

namespace
{

// More entries than this make a menu taller than a screen; typing the name finds the rest.
constexpr qsizetype kMenuEntries = 50;

// Offers the names and puts in place the command of the name chosen.
class CommandCompleter : public QCompleter
{
public:
    using QCompleter::QCompleter;
    QString pathFromIndex(const QModelIndex& index) const override
    {
        return index.data(CommandList::CommandRole).toString();
    }
};

QString MenuText(const NamedCommand& entry)
{
    QString command = entry.command;
    if (command.size() > 48)
        command = command.first(47) + QChar(0x2026);
    return QString(entry.name).replace(QLatin1Char('&'), QStringLiteral("&&")) + QLatin1Char('\t') +
           command.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// "None" and every check value of the catalogue, the one chosen checked.
void AddChecksumMenu(QMenu& menu, CheckChoice& choice)
{
    QMenu* checksum = menu.addMenu(QObject::tr("Checksum"));
    auto* group = new QActionGroup(checksum);
    const auto add = [&](const QString& text, const CheckEntry* entry) {
        QAction* action = checksum->addAction(text);
        action->setCheckable(true);
        action->setChecked(choice.check() == entry);
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, &choice,
                         [&choice, entry] { choice.choose(entry); });
    };
    add(QObject::tr("None"), nullptr);
    const auto latin1 = [](std::string_view text) {
        return QString::fromLatin1(text.data(), qsizetype(text.size()));
    };
    for (const CheckEntry& entry : CheckCatalogue())
        add(latin1(entry.name) + QStringLiteral(" \u2014 ") + latin1(entry.rule) +
                QStringLiteral(", ") + latin1(PlaceRule(entry)),
            &entry);
}

} // namespace

CommandLine::CommandLine(QLineEdit& edit, Toolkit& toolkit, QObject* parent)
    : QObject(parent), m_edit(edit), m_toolkit(toolkit)
{
    connect(&m_list, &CommandList::Problem, this, &CommandLine::Problem);
    m_completer = new CommandCompleter(&m_list, this);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setCompletionRole(Qt::EditRole);
    // Rows of one height: a name that all of a long list matches is not laid out row by row.
    auto* popup = new QListView;
    popup->setUniformItemSizes(true);
    popup->setFont(m_edit.font()); // a window of its own does not take the command line's font
    popup->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_completer->setPopup(popup);
    popup->installEventFilter(this); // after the completer's own, so it comes first
    m_edit.setCompleter(m_completer);
    m_edit.installEventFilter(this);
}

void CommandLine::Remember(const QString& command)
{
    m_history.Add(command);
}

void CommandLine::TakeFromLog(const QString& line)
{
    if (line.startsWith(kOutputMarker))
        put(line.sliced(kOutputMarker.size()));
}

void CommandLine::put(const QString& command)
{
    m_edit.setText(command);
    m_edit.setFocus(Qt::OtherFocusReason);
}

bool CommandLine::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_completer->popup())
        return event->type() == QEvent::MouseButtonPress &&
               clickBeside(*static_cast<QMouseEvent*>(event));
    if (watched != &m_edit)
        return false;
    if (event->type() == QEvent::ContextMenu) {
        QMenu* menu = ContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    if (event->type() != QEvent::KeyPress || m_completer->popup()->isVisible())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() != Qt::Key_Up && key->key() != Qt::Key_Down) ||
        (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    const std::optional<QString> recalled =
        key->key() == Qt::Key_Up ? m_history.Older(m_edit.text()) : m_history.Newer();
    if (recalled)
        m_edit.setText(*recalled);
    return true;
}

bool CommandLine::clickBeside(const QMouseEvent& press)
{
    // The completion list holds the mouse while it is open, and here a click beside it would only
    // close it: "Output Command" pressed while names are offered would send nothing. The click
    // closes the list and goes on to where it was aimed, as if the list had not been open.
    QWidget* popup = m_completer->popup();
    if (popup->rect().contains(press.position().toPoint()))
        return false;
    popup->hide();
    const QPointF global = press.globalPosition();
    if (QWidget* target = QApplication::widgetAt(global.toPoint())) {
        const QPointF at = target->mapFromGlobal(global);
        QMouseEvent down(QEvent::MouseButtonPress, at, global, press.button(), press.buttons(),
                         press.modifiers());
        QMouseEvent up(QEvent::MouseButtonRelease, at, global, press.button(), Qt::NoButton,
                       press.modifiers());
        QApplication::sendEvent(target, &down);
        QApplication::sendEvent(target, &up);
    }
    return true;
}

QMenu* CommandLine::ContextMenu()
{
    QMenu* menu = m_edit.createStandardContextMenu();
    menu->addSeparator();
    QMenu* commands = menu->addMenu(tr("Commands"));
    const QList<NamedCommand>& entries = m_list.commands();
    for (qsizetype i = 0; i < qMin(entries.size(), kMenuEntries); ++i)
        connect(commands->addAction(MenuText(entries.at(i))), &QAction::triggered, this,
                [this, command = entries.at(i).command] { put(command); });
    if (entries.size() > kMenuEntries)
        commands
            ->addAction(
                tr("%1 more: type a name in the command line").arg(entries.size() - kMenuEntries))
            ->setEnabled(false);
    if (entries.isEmpty())
        commands->addAction(tr("None in %1").arg(m_list.path()))->setEnabled(false);
    QAction* add = menu->addAction(tr("Add to Commands…"), this, &CommandLine::addToCommands);
    add->setEnabled(!m_edit.text().trimmed().isEmpty());
    if (!m_checkShown.isEmpty()) {
        QMenu* checksum = menu->addMenu(tr("Checksum"));
        QAction* shown = checksum->addAction(m_checkShown);
        shown->setCheckable(true);
        shown->setChecked(true);
        checksum->setEnabled(false);
    } else if (m_checks) {
        AddChecksumMenu(*menu, *m_checks);
    }
    if (!m_moreActions.isEmpty()) {
        menu->addSeparator();
        menu->addActions(m_moreActions);
    }
    return menu;
}

void CommandLine::addToCommands()
{
    const QString command = m_edit.text().trimmed();
    const QString name =
        m_toolkit.AskText(m_edit.window(), tr("Name for %1").arg(command)).trimmed();
    if (name.isEmpty())
        return;
    QString why;
    if (!m_list.Append(name, command, &why))
        emit Problem(tr("Not added to %1: %2").arg(QFileInfo(m_list.path()).fileName(), why));
}
