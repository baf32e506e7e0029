#include "app/ProtocolMenu.h"

#include "terminal/BuiltinProtocols.h"
#include "terminal/ProtocolCatalogue.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

ProtocolMenu::ProtocolMenu(QWidget* parent) : QObject(parent)
{
    m_menu = new QMenu(tr("Protocol"), parent);
    // A refused description says why in its tooltip.
    m_menu->setToolTipsVisible(true);
    m_choices = new QActionGroup(m_menu);
    m_end = m_menu->addSeparator();
}

QAction* ProtocolMenu::add(const QString& text, const QString& name)
{
    auto* action = new QAction(text, m_choices);
    action->setCheckable(true);
    action->setData(name);
    m_menu->insertAction(m_end, action);
    connect(action, &QAction::triggered, this, [this, name] { emit Chosen(name); });
    return action;
}

void ProtocolMenu::List(const QList<ProtocolEntry>& entries, const QString& chosen)
{
    qDeleteAll(m_choices->actions());
    add(tr("None"), QString());
    bool listed = chosen.isEmpty();
    for (const ProtocolEntry& entry : entries) {
        QAction* action =
            add(entry.title.isEmpty() ? entry.name
                                      : entry.name + QStringLiteral(" \u2014 ") + entry.title,
                entry.name);
        action->setEnabled(entry.ok());
        // The engineer's name their file, or why it was refused; the built-ins stay as they were.
        if (!BuiltinProtocols::Names().contains(entry.name))
            action->setToolTip(entry.ok() ? entry.origin : entry.refusal);
        listed = listed || entry.name == chosen;
    }
    if (!listed)
        add(chosen, chosen)->setEnabled(false);
    Check(chosen);
}

void ProtocolMenu::Check(const QString& chosen)
{
    for (QAction* action : m_choices->actions())
        action->setChecked(action->data().toString() == chosen);
}

QAction* ProtocolMenu::choice(const QString& name) const
{
    for (QAction* action : m_choices->actions())
        if (action->data().toString() == name)
            return action;
    return nullptr;
}
