#pragma once

#include <QWidget>
#include <array>
#include <memory>

#include "console/ConsoleFields.h"
#include "console/Toolkit.h"

class EventLog;
class FrameMenu;
class LinkMenu;
class QLineEdit;
class QPushButton;
class SerialLink;
class TcpLink;
class TerminalController;
namespace Ui
{
class frmMain;
}

// The program's only window: the event log, the TCP, keypad and serial panels and the command line.
class frmMain : public QWidget, public ConsoleFields
{
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    explicit frmMain(Toolkit& toolkit, QWidget* parent = nullptr);
    ~frmMain() override;

    QString CommandText() const override;
    void SetCommandText(const QString& text) override;
    int ComPortIndex() const override;
    QString BaudText() const override;
    QString HostText() const override;
    QString PortText() const override;
    void ShowMessage(const QString& text) override;
    void FocusBaudBox() override;

    Ui::frmMain& ui() const { return *m_ui; }
    // The controls the aids around the window attach to.
    EventLog& LB() const;
    QLineEdit& txtChar() const;
    TerminalController& controller() const { return *m_controller; }
    SerialLink& serialLink() const { return *m_serial; }
    TcpLink& tcpLink() const { return *m_tcp; }
    Toolkit& toolkit() const { return m_toolkit; }
    FrameMenu& frameMenu() const { return *m_frameMenu; }
    LinkMenu& linkMenu() const { return *m_linkMenu; }
    const std::array<QPushButton*, 16>& cmdNumber() const { return m_cmdNumber; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();
    void wireHandlers();

    Toolkit m_defaultToolkit;
    Toolkit& m_toolkit;
    std::unique_ptr<Ui::frmMain> m_ui;
    std::array<QPushButton*, 16> m_cmdNumber{};
    SerialLink* m_serial = nullptr;
    TcpLink* m_tcp = nullptr;
    TerminalController* m_controller = nullptr;
    FrameMenu* m_frameMenu = nullptr;
    LinkMenu* m_linkMenu = nullptr;
};
