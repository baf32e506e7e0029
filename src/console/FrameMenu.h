#pragma once

#include <QObject>

class QLineEdit;
class QMenu;
class TerminalController;

// The baud box's context menu: its editing entries and "Frame", the serial line's frames, the
// one the line runs checked. Choosing one hands it to the controller.
class FrameMenu : public QObject
{
    Q_OBJECT
public:
    FrameMenu(QLineEdit& baudEdit, TerminalController& controller, QObject* parent = nullptr);

    // The context menu, as the operator gets it; the caller owns it.
    QMenu* ContextMenu();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit& m_edit;
    TerminalController& m_controller;
};
