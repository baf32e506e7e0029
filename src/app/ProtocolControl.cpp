#include "app/ProtocolControl.h"

#include "app/ProtocolMenu.h"
#include "app/RepeatControl.h"
#include "commandline/CommandLine.h"
#include "console/EventLog.h"
#include "console/LinkChoice.h"
#include "console/TerminalController.h"
#include "console/frmMain.h"
#include "links/SerialLink.h"
#include "links/TcpLink.h"
#include "protocol/ProtocolDescription.h"
#include "terminal/BuiltinProtocols.h"
#include "terminal/FrameReader.h"
#include "terminal/ProtocolCatalogue.h"
#include "terminal/TerminalFolders.h"
#include "terminal/TrafficLines.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

namespace
{

// New lines come into view at most this often while a protocol is read: a line a frame would
// repaint the log many times a second.
constexpr int kLogEveryMs = 250;

LineMarks PieceMarks(const ReadPiece& piece)
{
    LineMarks marks;
    if (!piece.isFrame()) {
        marks.details = piece.tooltip();
        return marks;
    }
    // Decoded again when hovered: most frames never are.
    marks.laterDetails = piece.tooltipLater();
    marks.aside = piece.summary();
    if (piece.failed())
        marks.aside += QStringLiteral("  ") + QString::fromLatin1(piece.message.check.Describe());
    marks.flagged = piece.failed();
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
    m_protocols = new ProtocolMenu(&m_log);
    m_catalogue = new ProtocolCatalogue(ProtocolFolder(), this);
    connect(m_catalogue, &ProtocolCatalogue::Problem, &m_log, &EventLog::AddLine);
    // The folder is first read as the menu first shows: a full one takes a while to read, and
    // the window starts as quickly with it as without.
    m_protocols->List(m_catalogue->known(), QString());
    connect(m_protocols, &ProtocolMenu::Chosen, this, &ProtocolControl::Choose);
    connect(&menu(), &QMenu::aboutToShow, this, [this] {
        readAgain();
        m_protocols->List(m_catalogue->Entries(), m_name);
    });
    m_watcher = new QFileSystemWatcher(this);
    m_settle = new QTimer(this);
    m_settle->setSingleShot(true);
    m_settle->setInterval(50);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, m_settle, qOverload<>(&QTimer::start));
    connect(m_settle, &QTimer::timeout, this, &ProtocolControl::readAgain);
    m_hidePolls = menu().addAction(tr("Hide Polls"));
    m_hidePolls->setCheckable(true);
    m_hidePolls->setEnabled(false);
    connect(m_hidePolls, &QAction::toggled, this, [this](bool on) {
        for (Reading* reading : {m_serial.get(), m_tcp.get()})
            if (reading)
                reading->hider.SetOn(on);
    });
    m_log.addAction(menu().menuAction());

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
    connect(&links().server(), &TcpServerLink::Connected, this, [this] { flush(m_tcp.get()); });
    connect(&repeats, &RepeatControl::RunningChanged, this, [this](bool running) {
        if (running) {
            flush(m_serial.get());
            flush(m_tcp.get());
            // Handed to the run as it would be without a protocol.
            m_window.serialLink().SetHandOnAsRead(false);
            m_window.tcpLink().SetHandOnAsRead(false);
            links().SetHandOnAsRead(false);
        }
        m_running = running;
        handOn();
    });
}

ProtocolControl::~ProtocolControl() = default;

QMenu& ProtocolControl::menu() const
{
    return m_protocols->menu();
}

void ProtocolControl::Choose(const QString& name)
{
    // The one in use stays so, even when its file now has a mistake.
    if (name == m_name)
        return m_protocols->Check(m_name);
    ProtocolEntry entry;
    for (const ProtocolEntry& listed : m_catalogue->Entries())
        if (listed.name == name && listed.ok())
            entry = listed;
    const std::shared_ptr<const Description> description = entry.description;
    const QString chosen = description ? name : QString();
    m_protocols->Check(chosen);
    if (chosen == m_name)
        return;
    flush(m_serial.get());
    flush(m_tcp.get());
    m_serial.reset();
    m_tcp.reset();
    m_name = chosen;
    m_description = description;
    m_text = entry.text;
    m_file = BuiltinProtocols::Names().contains(chosen) ? QString() : entry.origin;
    watch();
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

void ProtocolControl::readAgain()
{
    for (const ProtocolEntry& entry : m_catalogue->Entries()) {
        if (m_name.isEmpty() || entry.name != m_name || !entry.ok() ||
            entry.description == m_description)
            continue;
        // The same text again (after a mistake mended) goes on with the reading as it is.
        const bool same = entry.text == m_text;
        m_description = entry.description;
        m_text = entry.text;
        if (same)
            continue;
        m_serial->reader.SetDescription(m_description);
        m_tcp->reader.SetDescription(m_description);
        m_repeats.SetProtocol(m_description);
        m_commandLine.SetCheckShown(CheckShown(*m_description));
    }
    watch();
}

void ProtocolControl::watch()
{
    // An editor may save by replacing the file, which ends the watch on it: it is watched anew.
    const QStringList watched = m_watcher->files();
    if (!watched.isEmpty() && watched != QStringList{m_file})
        m_watcher->removePaths(watched);
    if (!m_file.isEmpty() && QFileInfo::exists(m_file) && !m_watcher->files().contains(m_file))
        m_watcher->addPath(m_file);
}

void ProtocolControl::read(Reading& reading, bool serial)
{
    FrameReader* reader = &reading.reader;
    const auto feed = [this, reader](const QByteArray& bytes, qint64 sinceWriteMs) {
        if (!m_running)
            reader->Feed(bytes, sinceWriteMs);
    };
    if (serial) {
        connect(&m_window.serialLink(), &SerialLink::BytesRead, reader, feed);
    } else {
        // The TCP client, the server's peer and UDP are one choice at a time: one reading.
        connect(&m_window.tcpLink(), &TcpLink::BytesRead, reader, feed);
        connect(&links().server().link(), &TcpLink::BytesRead, reader, feed);
        connect(&links(), &LinkChoice::DatagramRead, reader,
                [this, reader](const QByteArray& datagram, qint64 ms, const LineMarks& from) {
                    if (datagram.isEmpty())
                        return m_log.AddReply(datagram, ms, false, {}, from);
                    // Its frames end with it, each line naming its sender as the datagram's.
                    m_from = from;
                    reader->FeedWhole(datagram, ms);
                    m_from = {};
                });
    }
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
    LineMarks marks = PieceMarks(piece);
    if (!m_from.details.isEmpty()) {
        marks.details =
            m_from.details + (marks.details.isEmpty() ? QString() : "\n" + marks.details);
        if (!m_from.aside.isEmpty())
            marks.aside +=
                (marks.aside.isEmpty() ? QString() : QStringLiteral("  ")) + m_from.aside;
    }
    m_log.AddReply(piece.bytes, piece.answerMs, piece.continued, PieceCheck(piece), marks);
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
    links().SetHandOnAsRead(on);
}

LinkChoice& ProtocolControl::links() const
{
    return m_window.controller().links();
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
