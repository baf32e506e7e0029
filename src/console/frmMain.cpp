#include "console/frmMain.h"

#include "console/EventLog.h"
#include "console/FrameMenu.h"
#include "console/LinkMenu.h"
#include "console/TerminalController.h"
#include "links/SerialLink.h"
#include "links/TcpLink.h"
#include "ui_frmMain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QResizeEvent>

frmMain::frmMain(QWidget* parent) : frmMain(m_defaultToolkit, parent) {}

frmMain::frmMain(Toolkit& toolkit, QWidget* parent)
    : QWidget(parent), m_toolkit(toolkit), m_ui(std::make_unique<Ui::frmMain>())
{
    // Initial values ("4800", "TCP/IP") come from the form before any handler is connected.
    m_ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/accessterm.png")));
    // The window's default font. The fixed rectangles were drawn for an 8-point face at 96 dpi;
    // a condensed face of that size draws every caption whole with room to spare, at any scale.
    QFont windowFont;
    windowFont.setFamilies(
        {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    windowFont.setPointSize(8);
    setFont(windowFont);
    QFont logFont = m_ui->LB->font();
    logFont.setFamilies({QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Sans CJK TC")});
    m_ui->LB->setFont(logFont);
    m_cmdNumber = {m_ui->cmdNumber0,  m_ui->cmdNumber1,  m_ui->cmdNumber2,  m_ui->cmdNumber3,
                   m_ui->cmdNumber4,  m_ui->cmdNumber5,  m_ui->cmdNumber6,  m_ui->cmdNumber7,
                   m_ui->cmdNumber8,  m_ui->cmdNumber9,  m_ui->cmdNumber10, m_ui->cmdNumber11,
                   m_ui->cmdNumber12, m_ui->cmdNumber13, m_ui->cmdNumber14, m_ui->cmdNumber15};
    m_ui->Combo2->setEditText(QStringLiteral("4800"));
    m_ui->CmbComPort->setCurrentIndex(-1);
    m_ui->cmbChannel->setCurrentIndex(-1);
    m_ui->Combo1->setCurrentIndex(-1);
    m_serial = new SerialLink(this);
    m_tcp = new TcpLink(*m_ui->LB, this);
    m_controller = new TerminalController(*this, *m_ui->LB, *m_serial, *m_tcp, this);
    Form_Load();
    wireHandlers();
    m_frameMenu = new FrameMenu(*m_ui->Combo2->lineEdit(), *m_controller, this);
    m_linkMenu = new LinkMenu(*m_ui->Option1, *m_ui->txtIP, *m_controller, m_toolkit, this);
    m_ui->LB->setFocus();
}

frmMain::~frmMain() = default;

void frmMain::Form_Load()
{
    for (int n = 1; n <= 16; ++n)
        m_ui->CmbComPort->addItem(QString::number(n));
    m_ui->CmbComPort->setCurrentIndex(-1);
}

void frmMain::Form_Resize()
{
    const int inner = width();
    if (inner > 0)
        m_ui->LB->resize(inner, m_ui->LB->height());
    m_ui->LB->move(0, m_ui->LB->y());
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmMain::wireHandlers()
{
    TerminalController* c = m_controller;
    connect(m_ui->Option1, &QRadioButton::clicked, c, &TerminalController::Option1_Click);
    connect(m_ui->Option2, &QRadioButton::clicked, c, &TerminalController::Option2_Click);
    connect(m_ui->CmbComPort->lineEdit(), &QLineEdit::textEdited, c,
            &TerminalController::CmbComPort_Change);
    connect(m_ui->CmbComPort, &QComboBox::activated, c, &TerminalController::CmbComPort_Click);
    connect(m_ui->Combo2->lineEdit(), &QLineEdit::textEdited, c,
            &TerminalController::Combo2_Change);
    connect(m_ui->Combo2, &QComboBox::activated, c, &TerminalController::Combo2_Click);
    connect(m_ui->CmdConnect, &QPushButton::clicked, c, &TerminalController::CmdConnect_Click);
    connect(m_ui->Command2, &QPushButton::clicked, c, &TerminalController::Command2_Click);
    connect(m_ui->Command3, &QPushButton::clicked, c, &TerminalController::Command3_Click);
    connect(m_ui->cmdClear, &QPushButton::clicked, c, &TerminalController::cmdClear_Click);
    for (int i = 0; i < 16; ++i)
        connect(m_cmdNumber[i], &QPushButton::clicked, c, [c, i] { c->cmdNumber_Click(i); });
}

EventLog& frmMain::LB() const
{
    return *m_ui->LB;
}
QLineEdit& frmMain::txtChar() const
{
    return *m_ui->txtChar;
}

QString frmMain::CommandText() const
{
    return m_ui->txtChar->text();
}
void frmMain::SetCommandText(const QString& text)
{
    m_ui->txtChar->setText(text);
}
int frmMain::ComPortIndex() const
{
    return m_ui->CmbComPort->currentIndex();
}
QString frmMain::BaudText() const
{
    return m_ui->Combo2->currentText();
}
QString frmMain::HostText() const
{
    return m_ui->txtIP->text();
}
QString frmMain::PortText() const
{
    return m_ui->txtPortNo->text();
}
void frmMain::ShowMessage(const QString& text)
{
    m_toolkit.ShowMessage(this, text);
}
void frmMain::FocusBaudBox()
{
    m_toolkit.SetFocus(m_ui->Combo2);
}
