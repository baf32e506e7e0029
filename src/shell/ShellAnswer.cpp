#include "shell/ShellAnswer.h"

#include "checks/CheckCatalogue.h"
#include "links/MSComm.h"
#include "links/PeerName.h"
#include "shell/ShellFrames.h"
#include "shell/ShellLink.h"
#include "shell/ShellOptions.h"
#include "shell/ShellOutput.h"
#include "terminal/GivenFileRead.h"
#include "terminal/ReplyCheck.h"
#include "terminal/TerminalFolders.h"
#include "terminal/TrafficLines.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

ShellAnswer::ShellAnswer(const ShellOptions& options, ShellOutput& output, QObject* parent)
    : QObject(parent), m_options(options), m_output(output), m_gatherer(options.gapMs)
{
    connect(&m_output, &ShellOutput::Broken, this, &ShellAnswer::finish);
    m_for.setSingleShot(true);
    connect(&m_for, &QTimer::timeout, this, [this] { Stop(); });
    connect(&m_gatherer, &BurstGatherer::Burst, this, &ShellAnswer::burst);
    connect(&m_listener, &TcpListener::Taken, this, &ShellAnswer::taken);
    connect(&m_socket, &Winsock::DataArrival, this, [this] {
        QByteArray bytes;
        m_socket.GetData(bytes, m_socket.BytesReceived());
        heard(bytes);
    });
    connect(&m_socket, &Winsock::PeerClosed, this, &ShellAnswer::peerGone);
    connect(&m_socket, &Winsock::Error, this, &ShellAnswer::peerGone);
    connect(&m_udp, &UdpLink::DatagramArrived, this,
            [this](const QByteArray& datagram, const QHostAddress& from, quint16 port) {
                m_sender = from;
                m_senderPort = port;
                if (m_frames)
                    m_frames->Feed(datagram);
                else
                    burst(datagram, true);
            });
    connect(&m_serial, &MSComm::OnComm, this, [this] { heard(m_serial.Input()); });
    connect(&m_serial, &MSComm::PortLost, this, [this](const QString& description) {
        m_output.Error(description);
        finish(2);
    });
    m_checks.choose(FindCheck(options.check.toStdString()));
    if (!options.protocol.isEmpty()) {
        m_frames = new ShellFrames(options.description, Direction::Command, output, options.hex,
                                   true, this);
        connect(m_frames, &ShellFrames::PieceRead, this, &ShellAnswer::frameRead);
    }
}

void ShellAnswer::heard(const QByteArray& bytes)
{
    if (m_frames)
        m_frames->Feed(bytes);
    else
        m_gatherer.Feed(bytes);
}

void ShellAnswer::heardAll()
{
    if (m_frames)
        m_frames->Flush();
    else
        m_gatherer.Flush();
}

void ShellAnswer::Start()
{
    m_rulesPath = m_options.answersFile.isEmpty()
                      ? QFileInfo(CommandListFile()).dir().filePath(QStringLiteral("Answers.TXT"))
                      : m_options.answersFile;
    ReadGivenFile(m_rulesPath, this, [this](const TextFileRead& read) {
        if (m_finished)
            return;
        if (!readRules(read) || !open()) {
            finish(2);
            return;
        }
        m_clock.start();
        if (m_options.forMs >= 0)
            m_for.start(m_options.forMs);
    });
}

bool ShellAnswer::readRules(const TextFileRead& read)
{
    if (!read.failure.isEmpty()) {
        m_output.Error(read.failure);
        return false;
    }
    QStringList problems;
    m_rules = AnswerRules::Parse(QStringDecoder(QStringDecoder::Utf8).decode(read.content),
                                 m_rulesPath, problems);
    for (const QString& problem : std::as_const(problems))
        m_output.Error(problem);
    return problems.isEmpty();
}

bool ShellAnswer::open()
{
    const QString rules =
        QStringLiteral(", %1 rules from %2").arg(m_rules.rules().size()).arg(m_rulesPath);
    if (m_options.host.isEmpty()) {
        // The line is set as the terminal sets its own: speed and frame, no flow control.
        m_serial.SetCommPort(m_options.serialPort);
        m_serial.SetSettings(m_options.frame.settings(m_options.baud));
        const QString device =
            m_options.serialPort != 0
                ? MSComm::DeviceForPort(m_options.serialPort, MSComm::PresentPorts())
                : m_options.serialDevice;
        const LinkResult opened = m_serial.OpenDevice(device);
        if (!opened.ok()) {
            m_output.Error(opened.description());
            return false;
        }
        print(QStringLiteral("Answering on ") + device + QStringLiteral(" at ") +
              m_options.frame.settings(m_options.baud) + rules);
        return true;
    }
    if (m_options.net == ShellOptions::Net::Udp) {
        const LinkResult bound = m_udp.Bind(m_options.host, m_options.tcpPort);
        if (!bound.ok()) {
            m_output.Error(bound.description());
            return false;
        }
        print(QStringLiteral("Answering on UDP %1:%2").arg(m_options.host).arg(m_udp.LocalPort()) +
              rules);
        return true;
    }
    const LinkResult listening = m_listener.Listen(m_options.host, m_options.tcpPort);
    if (!listening.ok()) {
        m_output.Error(listening.description());
        return false;
    }
    print(QStringLiteral("Answering on %1:%2").arg(m_options.host).arg(m_listener.Port()) + rules);
    return true;
}

void ShellAnswer::taken(qintptr descriptor)
{
    // A connection that replaces the one there was ends that one's burst first.
    heardAll();
    if (!m_socket.Accept(descriptor))
        m_listener.PeerGone(false);
}

void ShellAnswer::peerGone()
{
    // What came before the close is answered as a burst of its own.
    QByteArray rest;
    m_socket.GetData(rest, m_socket.BytesReceived());
    heard(rest);
    heardAll();
    m_listener.PeerGone(true);
    // The next connection is served at once, not refused while this one is let go.
    m_socket.Close();
}

void ShellAnswer::burst(const QByteArray& bytes, bool whole)
{
    const bool datagram = m_options.net == ShellOptions::Net::Udp;
    m_output.Reply(ShellOutput::LocalTime() + kInputMarker, bytes, m_options.hex,
                   datagram ? FromSender(PeerName(m_sender, m_senderPort)) : QString());
    if (!whole)
        return;
    // A controller drops a frame whose check value fails, so the host's resend can be tried.
    if (const ReplyCheck check = m_checks.verify(bytes); check.failed) {
        print(QStringLiteral("Not answered, its check value fails: ") + check.verdict);
        return;
    }
    answer(m_rules.Answer(bytes), bytes, nullptr);
}

void ShellAnswer::frameRead(const ReadPiece& piece)
{
    // A reply heard back, or bytes that are no frame, answer nothing.
    if (m_finished || !piece.isFrame() || piece.message.direction == Direction::Reply)
        return;
    // A device drops a frame whose check value fails, so the host's resend can be tried.
    if (piece.failed()) {
        print(QStringLiteral("Not answered, its check value fails: ") +
              QString::fromLatin1(piece.message.check.Describe()));
        return;
    }
    answer(m_rules.Answer(piece.bytes, piece.summary()), piece.bytes, &piece);
}

void ShellAnswer::answer(const ChosenAnswer& answer, const QByteArray& bytes,
                         const ReadPiece* frame)
{
    const bool datagram = m_options.net == ShellOptions::Net::Udp;
    for (int line : answer.gaveUp)
        m_output.Error(
            QStringLiteral("Line %1: the pattern gave up at the match limit: the rule is set aside")
                .arg(line));
    if (!answer.rule)
        return;
    const int line = answer.rule->line;
    if (QList<int> paused; !m_loop.Ask(bytes, line, m_clock.elapsed(), paused)) {
        if (!paused.isEmpty())
            print((paused.size() == 1 ? QStringLiteral("Rule on ") : QStringLiteral("Rules on ")) +
                  AnswerLoop::Describe(paused));
        return;
    }
    switch (m_rate.Ask(line, m_clock.elapsed())) {
    case AnswerRate::Verdict::PauseStarts:
        print(QStringLiteral("Rule on line %1 answered %2 times within a second: paused for a "
                             "second")
                  .arg(line)
                  .arg(AnswerRate::kAnswersPerSecond));
        return;
    case AnswerRate::Verdict::Paused:
        return;
    case AnswerRate::Verdict::Answer:
        break;
    }
    QString shown;
    CommandBytes reply = m_checks.encode(answer.text, shown);
    if (frame && reply.ok()) {
        // The device's reply: the command's sequence number, marked a reply.
        const Composed composed =
            ComposeReply(m_frames->reader().description(), frame->message,
                         {reply.bytes.constData(), std::size_t(reply.bytes.size())});
        reply = {QByteArray::fromStdString(composed.bytes),
                 QString::fromStdString(composed.refusal)};
    }
    if (const QString why = reply.ok() ? m_options.frame.tooWide(reply.bytes) : reply.refusal;
        !why.isEmpty()) {
        print(QStringLiteral("Not answered: ") + why);
        return;
    }
    if (datagram) {
        const LinkResult sent = m_udp.SendTo(reply.bytes, m_sender, m_senderPort);
        if (!sent.ok()) {
            print(QStringLiteral("Not answered: ") + sent.description());
            return;
        }
    } else if (m_socket.State() == Winsock::sckConnected)
        m_socket.SendData(reply.bytes);
    else if (m_serial.PortOpen())
        m_serial.Output(reply.bytes);
    else
        return;
    m_loop.Sent(reply.bytes, line);
    if (frame)
        m_frames->PrintSent(reply.bytes, QStringLiteral("  (line %1)").arg(line));
    else
        print(kOutputMarker + shown + QStringLiteral("  (line %1)").arg(line));
}

void ShellAnswer::print(const QString& line)
{
    m_output.Line(ShellOutput::LocalTime() + line);
}

void ShellAnswer::Stop(int)
{
    heardAll();
    finish(0);
}

void ShellAnswer::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    m_for.stop();
    // Its handlers go first: a connection closed here is not the peer going.
    m_socket.disconnect(this);
    m_socket.Close();
    m_udp.Close();
    m_serial.SetPortOpen(false);
    emit Finished(status);
}
