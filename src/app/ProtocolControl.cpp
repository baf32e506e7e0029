#include "app/ProtocolControl.h"

#include "app/RepeatControl.h"
#include "commandline/CommandLine.h"
#include "console/EventLog.h"
#include "console/TerminalController.h"
#include "console/frmMain.h"
#include "links/SerialLink.h"
#include "links/TcpLink.h"
#include "protocol/ProtocolDescription.h"
#include "terminal/BuiltinProtocols.h"
#include "terminal/FrameReader.h"
#include "terminal/TrafficLines.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>

namespace
{

// New lines come into view at most this often while a protocol is read: a line a frame would
// repaint the log many times a second.
constexpr int kLogEveryMs = 250;

LineMarks PieceMarks(const ReadPiece& piece)
{
    LineMarks marks;
    marks.details = piece.tooltipLines().join(QLatin1Char('\n'));
    if (piece.isFrame()) {
        marks.aside = piece.summary();
        if (piece.failed())
            marks.aside +=
                QStringLiteral("  ") + QString::fromLatin1(piece.message.check.Describe());
        marks.flagged = piece.failed();
    }
    return marks;
}

QString CheckShown(const Description& description)
{
    const auto name = [](const CheckEntry* entry) {
        return QString::fromLatin1(entry->name.data(), qsizetype(entry->name.size()));
    };
    const CheckSpec& check = description.check;
    if (!check.chosen)
        return QObject::tr("None, by %1").arg(QString::fromStdString(description.name));
    QString text = name(check.chosen);
    if (check.otherwise)
        text += QObject::tr(" or ") + name(check.otherwise);
    return QObject::tr("%1, by %2").arg(text, QString::fromStdString(description.name));
}

} // namespace

// One link's reading: its reader, and the polls left out of what it shows.
struct ProtocolControl::Reading {
    explicit Reading(std::shared_ptr<const Description> description)
        : reader(std::move(description), Direction::Unknown)
    {
    }
    FrameReader reader;
    PollHider hider;
};

ProtocolControl::ProtocolControl(frmMain& window, CommandLine& commandLine, RepeatControl& repeats)
    : QObject(&window), m_window(window), m_log(window.LB()), m_commandLine(commandLine),
      m_repeats(repeats)
{
    m_menu = new QMenu(tr("Protocol"), &m_log);
    m_choices = new QActionGroup(m_menu);
    const auto add = [this](const QString& text, const QString& name) {
        QAction* action = m_menu->addAction(text);
        action->setCheckable(true);
        action->setChecked(name.isEmpty());
        action->setData(name);
        m_choices->addAction(action);
        connect(action, &QAction::triggered, this, [this, name] { Choose(name); });
    };
    add(tr("None"), QString());
    for (const QString& name : BuiltinProtocols::Names())
        add(name + QStringLiteral(" \u2014 ") + BuiltinProtocols::Title(name), name);
    m_menu->addSeparator();
    m_hidePolls = m_menu->addAction(tr("Hide Polls"));
    m_hidePolls->setCheckable(true);
    m_hidePolls->setEnabled(false);
    connect(m_hidePolls, &QAction::toggled, this, [this](bool on) {
        for (Reading* reading : {m_serial.get(), m_tcp.get()})
            if (reading)
                reading->hider.SetOn(on);
    });
    m_log.addAction(m_menu->menuAction());

    m_sendAsTyped = new QAction(tr("Send As Typed"), this);
    m_sendAsTyped->setEnabled(false);
    connect(m_sendAsTyped, &QAction::triggered, this, &ProtocolControl::SendAsTyped);
    m_commandLine.AddMenuActions({m_sendAsTyped});

    // A link opened again starts every address's sequence afresh.
    const auto button = [&window](const char* name) {
        return window.findChild<QAbstractButton*>(QLatin1String(name));
    };
    const auto serialAgain = [this] { flush(m_serial.get()); };
    const auto bothAgain = [this] {
        flush(m_serial.get());
        flush(m_tcp.get());
    };
    connect(button("Option2"), &QAbstractButton::clicked, this, serialAgain);
    auto* ports = window.findChild<QComboBox*>(QStringLiteral("CmbComPort"));
    connect(ports, &QComboBox::activated, this, serialAgain);
    connect(ports->lineEdit(), &QLineEdit::textEdited, this, serialAgain);
    connect(button("Command2"), &QAbstractButton::clicked, this, bothAgain);
    connect(button("CmdConnect"), &QAbstractButton::clicked, this, bothAgain);
    connect(&window.tcpLink(), &TcpLink::Connected, this, [this] { flush(m_tcp.get()); });
    connect(&repeats, &RepeatControl::RunningChanged, this, [this](bool running) {
        if (running) {
            flush(m_serial.get());
            flush(m_tcp.get());
            // Handed to the run as it would be without a protocol.
            m_window.serialLink().SetHandOnAsRead(false);
            m_window.tcpLink().SetHandOnAsRead(false);
        }
        m_running = running;
        handOn();
    });
}

ProtocolControl::~ProtocolControl() = default;

void ProtocolControl::Choose(const QString& name)
{
    const std::shared_ptr<const Description> description = BuiltinProtocols::Find(name);
    const QString chosen = description ? name : QString();
    for (QAction* action : m_choices->actions())
        action->setChecked(action->data().toString() == chosen);
    if (chosen == m_name)
        return;
    flush(m_serial.get());
    flush(m_tcp.get());
    m_serial.reset();
    m_tcp.reset();
    m_name = chosen;
    m_log.AddLine(QStringLiteral("Protocol: ") +
                  (chosen.isEmpty() ? QStringLiteral("none") : chosen));
    const bool on = bool(description);
    m_repeats.SetProtocol(description);
    m_hidePolls->setEnabled(on);
    m_sendAsTyped->setEnabled(on);
    m_commandLine.SetCheckShown(on ? CheckShown(*description) : QString());
    TerminalController& controller = m_window.controller();
    if (!on) {
        controller.SetComposer({});
        handOn();
        return;
    }
    m_serial = std::make_unique<Reading>(description);
    m_tcp = std::make_unique<Reading>(description);
    read(*m_serial, true);
    read(*m_tcp, false);
    controller.SetComposer([this](const QString& text, QString& shown, LineMarks& marks) {
        return compose(text, shown, marks);
    });
    handOn();
}

std::shared_ptr<const Description> ProtocolControl::description() const
{
    return m_serial ? m_serial->reader.shared() : nullptr;
}

void ProtocolControl::read(Reading& reading, bool serial)
{
    FrameReader* reader = &reading.reader;
    const auto feed = [this, reader](const QByteArray& bytes, qint64 sinceWriteMs) {
        if (!m_running)
            reader->Feed(bytes, sinceWriteMs);
    };
    if (serial)
        connect(&m_window.serialLink(), &SerialLink::BytesRead, reader, feed);
    else
        connect(&m_window.tcpLink(), &TcpLink::BytesRead, reader, feed);
    reading.hider.SetOn(m_hidePolls->isChecked());
    connect(reader, &FrameReader::PieceRead, &reading.hider, &PollHider::Take);
    connect(&reading.hider, &PollHider::Show, this,
            [this, serial](const ReadPiece& piece) { show(piece, serial); });
    connect(&reading.hider, &PollHider::Hidden, this, [this] {
        ++m_hidden;
        m_log.UpdateLine(m_hiddenLine,
                         m_hidden == 1
                             ? QStringLiteral("1 poll answered ACK hidden")
                             : QStringLiteral("%1 polls answered ACK hidden").arg(m_hidden));
    });
}

void ProtocolControl::show(const ReadPiece& piece, bool serial)
{
    // A frame's own check value, found in its place by the frame's length.
    m_log.AddReply(piece.bytes, piece.answerMs, piece.continued, PieceCheck(piece),
                   PieceMarks(piece));
    if (serial)
        m_window.controller().CaptureSoon(piece.bytes);
}

void ProtocolControl::handOn()
{
    const bool on = !m_name.isEmpty() && !m_running;
    m_log.SetShowEveryMs(on ? kLogEveryMs : 0);
    // A run that reads the link sets how the link hands on for itself, and leaves it as it was
    // without a protocol when it ends.
    if (m_running)
        return;
    m_window.serialLink().SetHandOnAsRead(on);
    m_window.tcpLink().SetHandOnAsRead(on);
}

void ProtocolControl::flush(Reading* reading)
{
    if (!reading)
        return;
    reading->reader.Flush();
    reading->hider.Flush();
}

CommandBytes ProtocolControl::compose(const QString& text, QString& shown, LineMarks& marks)
{
    shown = text;
    CommandBytes command = EncodeForSending(text);
    const bool serial = m_window.controller().transportMode() == TerminalController::kSerialMode;
    Reading* reading = serial ? m_serial.get() : m_tcp.get();
    if (!command.ok() || !reading)
        return command;
    if (!m_asTyped) {
        const Composed composed = reading->reader.Compose(command.bytes);
        if (!composed.ok())
            return {{},
                    QStringLiteral("Nothing sent: ") + QString::fromStdString(composed.refusal)};
        command.bytes = QByteArray(composed.bytes.data(), qsizetype(composed.bytes.size()));
        shown = InputLine(command.bytes, QString());
    }
    marks = PieceMarks(reading->reader.Sent(command.bytes));
    return command;
}

void ProtocolControl::SendAsTyped()
{
    if (m_name.isEmpty())
        return;
    m_asTyped = true;
    m_window.controller().Command3_Click();
    m_asTyped = false;
}
