#pragma once

#include <QObject>

class QMenu;
class QWidget;
class TerminalController;
class Toolkit;

// "Link" in the context menus of the "TCP/IP" option and the IP Address box: "TCP client" (the
// default), "TCP server" and "UDP", the one chosen checked, and "Local Port…" for UDP.
class LinkMenu : public QObject
{
    Q_OBJECT
public:
    // option: the "TCP/IP" option; address: the IP Address box, whose editing entries come first.
    LinkMenu(QWidget& option, QWidget& address, TerminalController& controller, Toolkit& toolkit,
             QObject* parent = nullptr);

    // The context menu of one of the two, as the operator gets it; the caller owns it.
    QMenu* ContextMenu(QWidget& on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void askLocalPort();

    QWidget& m_option;
    QWidget& m_address;
    TerminalController& m_controller;
    Toolkit& m_toolkit;
};
