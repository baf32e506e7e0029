#include "app/AutoAnswer.h"

#include "console/EventLog.h"
#include "console/LinkChoice.h"
#include "links/SerialLink.h"
#include "links/TcpLink.h"
#include "terminal/CheckChoice.h"
#include "terminal/TextFileRead.h"
#include "terminal/TrafficLines.h"

#include <QFileInfo>
#include <QStringDecoder>

AutoAnswer::AutoAnswer(EventLog& log, SerialLink& serial, TcpLink& tcp, const CheckChoice& checks,
                       const QString& path, QObject* parent)
    : QObject(parent), m_log(log), m_serial(serial), m_tcp(tcp), m_checks(checks), m_path(path),
      m_name(QFileInfo(path).fileName())
{
    m_clock.start();
    // Connected after the window's own handlers, so a reply is in the log before its answer.
    connect(&m_serial, &SerialLink::ReplyArrived, this, [this](const QByteArray& reply) {
        answer(reply, [this](const QByteArray& bytes) { return m_serial.Write(bytes, false); });
    });
    connect(&m_tcp, &TcpLink::ReplyArrived, this, [this](const QByteArray& reply) {
        answer(reply, [this](const QByteArray& bytes) { return m_tcp.Send(bytes, false); });
    });
    // An editor may save by replacing the file, which ends the watch on it: it is watched anew.
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] {
        if (m_on)
            load();
    });
}

void AutoAnswer::AnswerOn(LinkChoice& links)
{
    TcpServerLink* server = &links.server();
    UdpLink* udp = &links.udp();
    connect(server, &TcpServerLink::ReplyArrived, this, [this, server](const QByteArray& reply) {
        answer(reply, [server](const QByteArray& bytes) { return server->Send(bytes, false); });
    });
    // A datagram's answer goes to whoever sent it, the controller or not.
    connect(udp, &UdpLink::DatagramArrived, this,
            [this, udp](const QByteArray& datagram, const QHostAddress& from, quint16 port) {
                answer(datagram, [udp, from, port](const QByteArray& bytes) {
                    return udp->SendTo(bytes, from, port, false);
                });
            });
}

void AutoAnswer::SetOn(bool on)
{
    if (on == m_on)
        return;
    m_on = on;
    if (on)
        load();
    else
        m_log.AddLine(QStringLiteral("Answers: off"));
}

void AutoAnswer::load()
{
    if (QFileInfo::exists(m_path) && !m_watcher.files().contains(m_path))
        m_watcher.addPath(m_path);
    // Read as Commands.TXT is: nothing found at the path can hold the window.
    const TextFileRead read = ReadTextFile(m_path);
    QString why = read.failure;
    if (why.isEmpty() && !QFileInfo::exists(m_path))
        why = QStringLiteral("No such file or directory");
    QStringList problems;
    m_rules = why.isEmpty()
                  ? AnswerRules::Parse(QStringDecoder(QStringDecoder::Utf8).decode(read.content),
                                       m_name, problems)
                  : AnswerRules{};
    for (const QString& problem : std::as_const(problems))
        m_log.AddLine(problem);
    if (!m_rules.rules().isEmpty())
        m_log.AddLine(QStringLiteral("Answers: on, %1 rules from %2")
                          .arg(m_rules.rules().size())
                          .arg(m_path));
    else
        m_log.AddLine(QStringLiteral("Answers: on, no rules: ") +
                      (why.isEmpty() ? QStringLiteral("none in ") + m_path
                                     : m_path + QStringLiteral(": ") + why));
}

void AutoAnswer::answer(const QByteArray& reply,
                        const std::function<LinkResult(const QByteArray&)>& send)
{
    if (!m_on)
        return;
    const ChosenAnswer chosen = m_rules.Answer(reply);
    for (int line : chosen.gaveUp)
        m_log.AddLine(QStringLiteral("%1 line %2: the pattern gave up at the match limit: the rule "
                                     "is set aside")
                          .arg(m_name)
                          .arg(line));
    if (!chosen.rule)
        return;
    const int line = chosen.rule->line;
    if (QList<int> paused; !m_loop.Ask(reply, line, m_clock.elapsed(), paused)) {
        if (!paused.isEmpty())
            m_log.AddLine(m_name + QLatin1Char(' ') + AnswerLoop::Describe(paused));
        return;
    }
    const AnswerRate::Verdict verdict = m_rate.Ask(line, m_clock.elapsed());
    if (verdict == AnswerRate::Verdict::PauseStarts)
        m_log.AddLine(QStringLiteral("%1 line %2 answered %3 times within a second: paused for a "
                                     "second")
                          .arg(m_name)
                          .arg(line)
                          .arg(AnswerRate::kAnswersPerSecond));
    if (verdict != AnswerRate::Verdict::Answer)
        return;
    // The rule's reply is in the notation: with a check value chosen it goes out as a command
    // would.
    QString shown;
    const CommandBytes checked = m_checks.encode(chosen.text, shown);
    const QByteArray& bytes = checked.ok() ? checked.bytes : chosen.bytes;
    if (!checked.ok())
        shown = chosen.text;
    m_log.AddCommand(kOutputMarker + shown, bytes, {},
                     QStringLiteral("automatic answer, %1 line %2").arg(m_name).arg(line));
    const LinkResult sent = send(bytes);
    if (!sent.ok())
        m_log.AddLine(QStringLiteral("Nothing sent: ") + sent.description());
    else
        m_loop.Sent(bytes, line);
}
