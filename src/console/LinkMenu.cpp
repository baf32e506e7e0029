#include "console/LinkMenu.h"

#include "console/TerminalController.h"
#include "console/Toolkit.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>

LinkMenu::LinkMenu(QWidget& option, QWidget& address, TerminalController& controller,
                   Toolkit& toolkit, QObject* parent)
    : QObject(parent), m_option(option), m_address(address), m_controller(controller),
      m_toolkit(toolkit)
{
    m_option.setContextMenuPolicy(Qt::DefaultContextMenu);
    m_option.installEventFilter(this);
    m_address.installEventFilter(this);
}

QMenu* LinkMenu::ContextMenu(QWidget& on)
{
    auto* edit = qobject_cast<QLineEdit*>(&on);
    QMenu* menu = edit ? edit->createStandardContextMenu() : new QMenu(&on);
    if (edit)
        menu->addSeparator();
    QMenu* links = menu->addMenu(tr("Link"));
    auto* group = new QActionGroup(links);
    using Kind = LinkChoice::Kind;
    for (const Kind kind : {Kind::TcpClient, Kind::TcpServer, Kind::Udp}) {
        QAction* action = links->addAction(LinkChoice::Name(kind));
        action->setCheckable(true);
        action->setChecked(kind == m_controller.links().kind());
        group->addAction(action);
        connect(action, &QAction::triggered, &m_controller,
                [this, kind] { m_controller.Link_Click(kind); });
    }
    links->addSeparator();
    connect(links->addAction(tr("Local Port…")), &QAction::triggered, this,
            &LinkMenu::askLocalPort);
    return menu;
}

void LinkMenu::askLocalPort()
{
    const QString text =
        m_toolkit.AskText(m_address.window(), QStringLiteral("Local UDP port (0: any free one):"))
            .trimmed();
    if (text.isEmpty())
        return;
    bool ok = false;
    const uint port = text.toUInt(&ok);
    if (!ok || port > 65535) {
        m_toolkit.ShowMessage(m_address.window(),
                              QStringLiteral("A local port is 1 to 65535, or 0 for any free one"));
        return;
    }
    m_controller.links().SetLocalPort(quint16(port));
}

bool LinkMenu::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched != &m_option && watched != &m_address) || event->type() != QEvent::ContextMenu)
        return false;
    QMenu* menu = ContextMenu(*static_cast<QWidget*>(watched));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
}
