#include "console/FrameMenu.h"

#include "console/TerminalController.h"
#include "links/SerialFrame.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>

FrameMenu::FrameMenu(QLineEdit& baudEdit, TerminalController& controller, QObject* parent)
    : QObject(parent), m_edit(baudEdit), m_controller(controller)
{
    m_edit.installEventFilter(this);
}

QMenu* FrameMenu::ContextMenu()
{
    QMenu* menu = m_edit.createStandardContextMenu();
    menu->addSeparator();
    QMenu* frames = menu->addMenu(tr("Frame"));
    auto* group = new QActionGroup(frames);
    for (const SerialFrame& frame : SerialFrame::Offered()) {
        QAction* action = frames->addAction(frame.name());
        action->setCheckable(true);
        action->setChecked(frame == m_controller.frame());
        group->addAction(action);
        connect(action, &QAction::triggered, &m_controller,
                [this, frame] { m_controller.Frame_Click(frame); });
    }
    return menu;
}

bool FrameMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_edit || event->type() != QEvent::ContextMenu)
        return false;
    QMenu* menu = ContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
}
