#include "shell/ShellAnswer.h"

#include "checks/CheckCatalogue.h"
#include "links/MSComm.h"
#include "terminal/GivenFileRead.h"
#include "shell/ShellOptions.h"
#include "shell/ShellOutput.h"
#include "terminal/ReplyCheck.h"
#include "terminal/TerminalFolders.h"
#include "terminal/TrafficLines.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

namespace
{

QString PeerName(const QTcpSocket& socket)
{
    return socket.peerAddress().toString() + QLatin1Char(':') + QString::number(socket.peerPort());
}

} // namespace

ShellAnswer::ShellAnswer(const ShellOptions& options, ShellOutput& output, QObject* parent)
    : QObject(parent), m_options(options), m_output(output), m_gatherer(options.gapMs)
{
    connect(&m_output, &ShellOutput::Broken, this, &ShellAnswer::finish);
    m_for.setSingleShot(true);
    connect(&m_for, &QTimer::timeout, this, [this] { Stop(); });
    connect(&m_gatherer, &BurstGatherer::Burst, this, &ShellAnswer::burst);
    connect(&m_server, &QTcpServer::newConnection, this, &ShellAnswer::connection);
    connect(&m_serial, &MSComm::OnComm, this, [this] { m_gatherer.Feed(m_serial.Input()); });
    connect(&m_serial, &MSComm::PortLost, this, [this](const QString& description) {
        m_output.Error(description);
        finish(2);
    });
    m_checks.choose(FindCheck(options.check.toStdString()));
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
    const QString address = m_options.host + QLatin1Char(':') + QString::number(m_options.tcpPort);
    if (!m_server.listen(QHostAddress(m_options.host), quint16(m_options.tcpPort))) {
        m_output.Error(QStringLiteral("Cannot listen on ") + address + QStringLiteral(": ") +
                       m_server.errorString());
        return false;
    }
    print(QStringLiteral("Answering on %1:%2").arg(m_options.host).arg(m_server.serverPort()) +
          rules);
    return true;
}

void ShellAnswer::connection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_socket) {
            // One connection at a time, as a controller serves one host.
            print(QStringLiteral("Refused ") + PeerName(*socket) + QStringLiteral(": busy"));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_socket = socket;
        print(QStringLiteral("Connected ") + PeerName(*socket));
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket] { m_gatherer.Feed(socket->readAll()); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_gatherer.Flush();
            print(QStringLiteral("Closed ") + PeerName(*socket));
            // The next connection is served at once, not refused while this one is let go.
            m_socket = nullptr;
            socket->deleteLater();
        });
    }
}

void ShellAnswer::burst(const QByteArray& bytes, bool whole)
{
    m_output.Reply(ShellOutput::LocalTime() + kInputMarker, bytes, m_options.hex);
    if (!whole)
        return;
    // A controller drops a frame whose check value fails, so the host's resend can be tried.
    if (const ReplyCheck check = m_checks.verify(bytes); check.failed) {
        print(QStringLiteral("Not answered, its check value fails: ") + check.verdict);
        return;
    }
    const ChosenAnswer answer = m_rules.Answer(bytes);
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
    const CommandBytes reply = m_checks.encode(answer.text, shown);
    if (const QString why = reply.ok() ? m_options.frame.tooWide(reply.bytes) : reply.refusal;
        !why.isEmpty()) {
        print(QStringLiteral("Not answered: ") + why);
        return;
    }
    if (m_socket)
        m_socket->write(reply.bytes);
    else if (m_serial.PortOpen())
        m_serial.Output(reply.bytes);
    else
        return;
    m_loop.Sent(reply.bytes, line);
    print(kOutputMarker + shown + QStringLiteral("  (line %1)").arg(line));
}

void ShellAnswer::print(const QString& line)
{
    m_output.Line(ShellOutput::LocalTime() + line);
}

void ShellAnswer::Stop(int)
{
    m_gatherer.Flush();
    finish(0);
}

void ShellAnswer::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    m_for.stop();
    if (m_socket) {
        // Its handlers go first: the socket dies with the server, after the members they use,
        // and says it closed as it goes.
        m_socket->disconnect(this);
        m_socket->disconnectFromHost();
    }
    m_serial.SetPortOpen(false);
    emit Finished(status);
}
