#include "repeat/CheckRun.h"

#include "answers/RefusedLines.h"
#include "checks/CheckCatalogue.h"
#include "repeat/RunLink.h"
#include "repeat/RunOutput.h"
#include "terminal/FrameReader.h"
#include "terminal/GivenFileRead.h"
#include "terminal/ReplyCheck.h"
#include "terminal/TerminalFolders.h"
#include "terminal/TrafficLines.h"

#include <QFileInfo>

CheckRun::CheckRun(const CheckRunOptions& options, RunLink& link, RunOutput& output,
                   QObject* parent)
    : QObject(parent), m_options(options), m_link(link), m_output(output)
{
    m_checks.choose(FindCheck(options.check.toStdString()));
    connect(&m_output, &RunOutput::Broken, this, &CheckRun::finish);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CheckRun::timeUp);
    connect(&m_link, &RunLink::Opened, this, &CheckRun::runStep);
    connect(&m_link, &RunLink::ReplyArrived, this, [this](const QByteArray& reply) {
        if (m_frames) // a datagram, whole
            m_frames->Feed(reply);
        else
            replyArrived(reply);
    });
    connect(&m_link, &RunLink::Failed, this, [this](const QString& reason, int status) {
        m_output.Error(reason);
        m_link.WhenIdle([this, status] { finish(status); });
    });
    connect(&m_link, &RunLink::PeerClosed, this, [this] {
        m_link.WhenIdle([this] {
            if (!m_finished)
                m_output.Error(
                    QStringLiteral("The peer closed the connection before the check ended"));
            finish(2);
        });
    });
}

void CheckRun::SetProtocol(std::shared_ptr<const Description> protocol)
{
    m_frames = new FrameReader(std::move(protocol), Direction::Reply, this);
    connect(&m_link, &RunLink::BytesRead, m_frames,
            [this](const QByteArray& bytes) { m_frames->Feed(bytes); });
    connect(m_frames, &FrameReader::PieceRead, this, &CheckRun::pieceRead);
}

void CheckRun::Start()
{
    ReadGivenFile(m_options.script, this, [this](const TextFileRead& read) {
        if (m_finished)
            return;
        if (!read.failure.isEmpty()) {
            m_output.Error(read.failure);
            finish(2);
        } else {
            readCommands(read.content);
        }
    });
}

void CheckRun::readCommands(const QByteArray& script)
{
    // The window's command list may well not exist; one named on the command line must.
    const bool named = !m_options.commandsFile.isEmpty();
    const QString path = named ? m_options.commandsFile : CommandListFile();
    ReadGivenFile(path, this, [this, named, script, path](const TextFileRead& read) {
        if (m_finished)
            return;
        if (!read.failure.isEmpty() && (named || QFileInfo::exists(path)))
            m_output.Error(read.failure);
        if (!read.failure.isEmpty() && named) {
            finish(2);
            return;
        }
        m_script = CheckScript(script, read.content);
        if (!checkScript()) {
            finish(2);
            return;
        }
        if (m_frames)
            m_link.SetHandOnAsRead(true);
        m_link.Open();
    });
}

bool CheckRun::checkScript()
{
    QStringList problems;
    qsizetype refusals = 0;
    {
        RefusedLines refused(problems, m_options.script);
        // A command the serial line cannot carry is refused before anything is sent, as one
        // the notation refuses is.
        std::function<QString(const CheckStep&)> carried;
        std::shared_ptr<ProtocolSession> tried;
        if (m_frames)
            tried = std::make_shared<ProtocolSession>(m_frames->shared());
        if (m_options.tooWide || m_frames)
            carried = [this, tried](const CheckStep& step) {
                QString shown, refusal;
                const QByteArray bytes = commandBytes(step.command, shown, refusal, tried.get());
                return refusal.isEmpty() && m_options.tooWide ? m_options.tooWide(bytes) : refusal;
            };
        m_script.Check(refused, carried);
        refusals = refused.count();
    }
    for (const QString& problem : std::as_const(problems))
        m_output.Error(problem);
    return refusals == 0;
}

void CheckRun::Stop(int signalNumber)
{
    m_link.WhenIdle([this, signalNumber] { finish(128 + signalNumber); });
}

void CheckRun::Stop(const QString& reason)
{
    if (m_finished)
        return;
    m_output.Line(QStringLiteral("Check stopped: %1; %2 passed, %3 failed")
                      .arg(reason)
                      .arg(m_passed)
                      .arg(m_failed));
    finish(2);
}

void CheckRun::runStep()
{
    if (m_finished)
        return;
    // Past the last step the file begins again, as many times as asked.
    if (!m_script.Next(m_step) && (++m_round >= m_options.repeat || !m_script.Next(m_step))) {
        m_output.Line(QStringLiteral("%1 passed, %2 failed").arg(m_passed).arg(m_failed));
        finish(m_failed > 0 || m_badCheck ? 1 : 0);
        return;
    }
    ++m_turn;
    const CheckStep& step = m_step;
    switch (step.kind) {
    case CheckStep::Kind::Send: {
        // With --checksum, the value goes where it belongs, as send puts it.
        QString shown, refusal;
        const QByteArray bytes = commandBytes(step.command, shown, refusal);
        // Output that cannot be written has ended the run: nothing more goes out.
        if (!m_output.Command(shown, bytes))
            return;
        if (m_link.Send(bytes))
            QTimer::singleShot(0, this, &CheckRun::nextStep);
        else
            finish(2);
        break;
    }
    case CheckStep::Kind::Expect:
        m_expecting = true;
        m_sawBurst = false;
        m_timer.start(step.ms);
        break;
    case CheckStep::Kind::Wait:
        m_timer.start(step.ms);
        break;
    }
}

void CheckRun::nextStep()
{
    m_expecting = false;
    m_timer.stop();
    runStep();
}

void CheckRun::replyArrived(const QByteArray& reply)
{
    if (m_finished)
        return;
    m_output.Reply(kInputMarker, reply, m_options.hex);
    // A burst whose check value fails matches nothing: its bytes are not what was meant.
    const ReplyCheck check = m_checks.verify(reply);
    if (check.failed) {
        m_output.Error(QStringLiteral("Line %1: a reply fails its check value: %2")
                           .arg(m_step.line)
                           .arg(check.verdict));
        m_badCheck = true;
    }
    expectIn(reply, check.failed);
}

void CheckRun::pieceRead(const ReadPiece& piece)
{
    if (m_finished && !m_flushing)
        return;
    const QString& marker = piece.continued ? kContinuedMarker : kInputMarker;
    m_output.Line((m_options.hex ? marker + QString::fromLatin1(piece.bytes.toHex(' ').toUpper())
                                 : InputLine(piece.bytes, marker)) +
                  piece.tabbedSummary());
    // Bytes that no frame takes, and a command heard back, are shown and no more.
    if (!piece.isFrame() || piece.message.direction == Direction::Command)
        return;
    if (piece.failed()) {
        m_output.Error(QStringLiteral("Line %1: a reply fails its check value: %2")
                           .arg(m_step.line)
                           .arg(QString::fromLatin1(piece.message.check.Describe())));
        m_badCheck = true;
    }
    expectIn(piece.bytes, piece.failed(), piece.summary());
}

QByteArray CheckRun::commandBytes(const QString& command, QString& shown, QString& refusal,
                                  ProtocolSession* tried)
{
    const CommandBytes typed = m_checks.encode(command, shown);
    refusal = typed.refusal;
    if (!m_frames || !typed.ok())
        return typed.bytes;
    const std::string_view view(typed.bytes.constData(), std::size_t(typed.bytes.size()));
    const Composed composed = tried ? ComposeCommand(m_frames->description(), *tried, view)
                                    : m_frames->Compose(typed.bytes);
    if (!composed.ok()) {
        refusal = QStringLiteral("Nothing sent: ") + QString::fromStdString(composed.refusal);
        return {};
    }
    const QByteArray bytes = QByteArray::fromStdString(composed.bytes);
    if (!tried)
        shown = InputLine(bytes, QString()) + m_frames->Sent(bytes).tabbedSummary();
    return bytes;
}

void CheckRun::expectIn(const QByteArray& reply, bool failed, const QString& after)
{
    // A burst that came while no expectation waited is a pushed event: shown, and no more.
    if (!m_expecting || m_finished)
        return;
    m_lastBurst = reply;
    m_sawBurst = true;
    // A pattern that gave up once would cost as much at every burst: it is searched no more.
    if (failed || m_gaveUp.contains(m_step.line))
        return;
    Pattern::Result result = m_step.pattern->Search(reply);
    if (result != Pattern::Result::Match && !after.isEmpty()) {
        const Pattern::Result onAfter = m_step.pattern->SearchText(after);
        if (onAfter != Pattern::Result::NoMatch)
            result = onAfter;
    }
    if (result == Pattern::Result::GaveUp) {
        m_gaveUp.insert(m_step.line);
        m_output.Error(QStringLiteral("Line %1: the pattern gave up at the match limit: it matches "
                                      "nothing from now on")
                           .arg(m_step.line));
    }
    if (result == Pattern::Result::Match)
        report(true);
}

void CheckRun::timeUp()
{
    if (!m_expecting) {
        nextStep();
        return;
    }
    // A burst whose first byte came in time is still settling: it is heard first.
    m_link.WhenIdle([this, turn = m_turn] {
        if (m_finished || turn != m_turn)
            return;
        report(false, m_sawBurst ? QStringLiteral(": got ") + PatternText(m_lastBurst)
                                 : QStringLiteral(": no reply within %1 ms").arg(m_step.ms));
    });
}

void CheckRun::report(bool passed, const QString& why)
{
    const CheckStep& step = m_step;
    ++(passed ? m_passed : m_failed);
    m_output.Line(QStringLiteral("%1ok %2 line %3: %4%5")
                      .arg(passed ? QString() : QStringLiteral("not "))
                      .arg(m_passed + m_failed)
                      .arg(step.line)
                      .arg(step.text, why));
    nextStep();
}

void CheckRun::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    m_timer.stop();
    // What waits to be cut is shown before the link goes; it answers nothing now.
    if (m_frames) {
        m_flushing = true;
        m_frames->Flush();
        m_flushing = false;
        // The link hands on as before: a window's own reader takes it up again.
        m_link.SetHandOnAsRead(false);
    }
    m_link.Close();
    emit Finished(status);
}
