#include "repeat/RepeatRun.h"

#include "repeat/FrameReplyCutter.h"
#include "repeat/RepeatClock.h"
#include "repeat/RunLink.h"
#include "terminal/CheckChoice.h"
#include "terminal/FrameReader.h"
#include "terminal/TrafficLines.h"

#include <QPointer>

namespace
{

// A turn that comes while the last command is still leaving the line is tried again this soon.
constexpr int kBusyRetryMs = 10;

} // namespace

RepeatRun::RepeatRun(const RepeatPlan& plan, RunLink& link, const CheckChoice& checks,
                     RepeatClock& clock, QObject* parent)
    : QObject(parent), m_plan(plan), m_link(link), m_clock(clock), m_gatherer(checks)
{
    for (QTimer* timer : {&m_next, &m_wait, &m_settle}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    m_figures.setInterval(int(kFiguresEveryMs));
    connect(&m_next, &QTimer::timeout, this, &RepeatRun::nextSlot);
    // A reply whose first byte came in time is judged when it has settled.
    connect(&m_wait, &QTimer::timeout, this, [this] {
        if (m_firstByteAt < 0)
            judge();
    });
    connect(&m_settle, &QTimer::timeout, this, &RepeatRun::endReply);
    connect(&m_figures, &QTimer::timeout, this, [this] {
        watchClock();
        emit Figures(head() + QStringLiteral(": ") + m_tally.Figures(m_plan.replyWindowMs()));
    });
}

RepeatRun::~RepeatRun() = default;

void RepeatRun::SetProtocol(std::shared_ptr<const Description> description)
{
    m_frames = new FrameReader(std::move(description), Direction::Reply, this);
    m_cutter = std::make_unique<FrameReplyCutter>(*m_frames);
    m_gatherer.SetCutter(m_cutter.get());
}

bool RepeatRun::Prepare(QString& why)
{
    const CheckChoice& checks = m_gatherer.checks();
    m_bytes.clear();
    m_shown.clear();
    m_patterns.clear();
    for (qsizetype n = 0; n < m_plan.commands.size(); ++n) {
        QString shown;
        const QString text = TrimBlanks(m_plan.commands.at(n));
        const CommandBytes command = m_frames ? EncodeForSending(text) : checks.encode(text, shown);
        QString refusal = command.ok() && command.bytes.isEmpty()
                              ? QStringLiteral("Nothing sent: the command is empty")
                              : command.refusal;
        if (refusal.isEmpty() && m_frames) {
            // Tried on a session of its own: the one that counts advances only as they go.
            ProtocolSession tried(m_frames->shared());
            const Composed composed = ComposeCommand(
                m_frames->description(), tried,
                std::string_view(command.bytes.constData(), size_t(command.bytes.size())));
            if (!composed.ok())
                refusal =
                    QStringLiteral("Nothing sent: ") + QString::fromStdString(composed.refusal);
        }
        if (!refusal.isEmpty()) {
            why = QStringLiteral("Command %1: ").arg(n + 1) + refusal;
            return false;
        }
        m_bytes.append(command.bytes);
        m_shown.append(shown);
    }
    for (const QString& text : std::as_const(m_plan.patterns)) {
        const std::optional<Pattern> pattern = Pattern::Compile(text, why);
        if (!pattern) {
            why = QStringLiteral("\"%1\": %2").arg(text, why);
            return false;
        }
        m_patterns.append(*pattern);
    }
    if (m_bytes.isEmpty())
        why = QStringLiteral("Nothing sent: no command");
    return !m_bytes.isEmpty();
}

void RepeatRun::Start()
{
    m_running = true;
    connect(&m_link, &RunLink::BytesRead, this, &RepeatRun::bytesRead);
    m_link.SetHandOnAsRead(true);
    m_clock.TakeJump();
    // A reply the link was settling when the repeat began is the link's to hand on as before.
    m_link.WhenIdle([self = QPointer<RepeatRun>(this)] {
        if (self && self->m_running)
            self->begin();
    });
}

void RepeatRun::begin()
{
    m_figures.start();
    if (m_plan.everyMs > 0)
        m_schedule.emplace(m_plan.everyMs, m_clock.MonotonicMs());
    nextSlot();
}

void RepeatRun::Stop(const QString& reason)
{
    if (!m_running)
        return;
    m_running = false;
    judge(true);
    if (!m_gatherer.isEmpty())
        emit Reply(0, m_gatherer.Take(), -1, {}, {});
    finish(QStringLiteral("%1: %2; ").arg(head(), reason));
}

void RepeatRun::nextSlot()
{
    if (!m_running)
        return;
    const qint64 now = m_clock.MonotonicMs();
    qint64 slot = m_done;
    if (m_schedule) {
        if (now < m_schedule->NextDue()) {
            m_next.start(int(m_schedule->NextDue() - now));
            return;
        }
        slot = m_schedule->Take(now).slot;
    }
    // The send ends the reply being gathered.
    endReply();
    if (!m_running)
        return;
    const qint64 total = m_plan.sends;
    skip((total > 0 ? qMin(slot, total) : slot) - m_done);
    watchClock();
    if (total > 0 && m_done >= total) {
        finish(QStringLiteral("Repeat done: "));
        return;
    }
    if (!m_link.Sending()) {
        send(slot);
        return;
    }
    skip(1);
    if (total > 0 && m_done >= total)
        finish(QStringLiteral("Repeat done: "));
    else
        m_next.start(m_schedule ? int(qMax<qint64>(0, m_schedule->NextDue() - now)) : kBusyRetryMs);
}

void RepeatRun::send(qint64 slot)
{
    const qsizetype which = qsizetype(slot % m_bytes.size());
    QByteArray bytes = m_bytes.at(which);
    QString shown = m_shown.at(which);
    if (m_frames) {
        // Completed now, with the sequence number the replies so far give.
        bytes = QByteArray::fromStdString(m_frames->Compose(bytes).bytes);
        shown = InputLine(bytes, QString());
        m_frames->Sent(bytes);
    }
    m_awaited = slot + 1;
    m_firstByteAt = -1;
    ++m_done;
    emit Sending(m_awaited, shown, bytes);
    m_sentAt = m_clock.MonotonicMs();
    if (!m_running)
        return;
    if (!m_link.Send(bytes)) {
        m_awaited = 0;
        --m_done;
        Stop(QStringLiteral("a command could not be sent"));
        return;
    }
    // With sends closer than the wait, the next send ends the reply first.
    if (m_plan.everyMs == 0 || m_plan.waitMs < m_plan.everyMs)
        m_wait.start(m_plan.waitMs);
    if (m_schedule)
        m_next.start(int(qMax<qint64>(0, m_schedule->NextDue() - m_clock.MonotonicMs())));
    emit Progress(m_done, m_plan.sends, m_tally.failed());
}

void RepeatRun::bytesRead(const QByteArray& bytes)
{
    if (!m_running)
        return;
    const bool first = m_gatherer.isEmpty();
    const bool complete = m_gatherer.Add(bytes);
    if (m_awaited != 0 && m_firstByteAt < 0)
        m_firstByteAt = m_clock.MonotonicMs();
    // The same for the settle time: many sends a second need no timer each.
    if (first && (m_plan.everyMs == 0 || m_plan.everyMs > RepeatPlan::kSettleMs))
        m_settle.start(RepeatPlan::kSettleMs);
    if (complete)
        endReply();
}

void RepeatRun::endReply()
{
    judge();
    if (!m_running || m_gatherer.isEmpty())
        return;
    m_settle.stop();
    emit Reply(0, m_gatherer.Take(), -1, {}, {});
}

void RepeatRun::judge(bool stopping)
{
    if (m_awaited == 0)
        return;
    using Outcome = RepeatTally::Outcome;
    const qint64 n = std::exchange(m_awaited, 0);
    m_wait.stop();
    m_settle.stop();
    const ReplyCheck check = m_gatherer.Check();
    const QByteArray reply = m_gatherer.Take();
    const qint64 answerMs = m_firstByteAt < 0 ? -1 : m_firstByteAt - m_sentAt;
    const bool inTime = answerMs >= 0 && answerMs <= m_plan.waitMs;
    Outcome outcome = Outcome::Answered;
    QString why;
    if (reply.isEmpty() && stopping && m_clock.MonotonicMs() - m_sentAt < m_plan.replyWindowMs()) {
        outcome = Outcome::Awaited;
    } else if (!inTime) {
        outcome = Outcome::NoReply;
        why = QStringLiteral("no reply within %1 ms").arg(m_plan.replyWindowMs());
        if (answerMs >= 0)
            why += QStringLiteral(" (its first byte came after %1 ms)").arg(answerMs);
    } else if (check.failed) {
        outcome = Outcome::BadCheck;
        why = QStringLiteral("failed its check value: ") + check.verdict;
    } else if (!m_patterns.isEmpty()) {
        const Pattern& pattern =
            m_patterns.at(m_patterns.size() == 1 ? 0 : (n - 1) % m_patterns.size());
        const Pattern::Result result = pattern.Search(reply);
        if (result != Pattern::Result::Match) {
            outcome = Outcome::NotMatched;
            why = QStringLiteral("not matched by \"%1\"").arg(pattern.text());
            if (result == Pattern::Result::GaveUp)
                why += QStringLiteral(" (the pattern gave up at the match limit)");
        }
    }
    m_tally.Record(outcome, inTime ? answerMs : -1);
    const QString failure =
        why.isEmpty() ? QString() : QStringLiteral("repeat %1: %2").arg(n).arg(why);
    if (!reply.isEmpty())
        emit Reply(n, reply, answerMs, check, failure);
    else if (outcome != Outcome::Awaited)
        emit NoReply(n, failure);
    if (stopping || !m_running)
        return;
    emit Progress(m_done, m_plan.sends, m_tally.failed());
    if (!failure.isEmpty() && m_plan.stopAtFirstFailure)
        Stop(QStringLiteral("stopped at the first failure, ") + failure);
    else if (m_plan.sends > 0 && m_done >= m_plan.sends)
        finish(QStringLiteral("Repeat done: "));
    else if (!m_schedule)
        m_next.start(0);
}

void RepeatRun::skip(qint64 count)
{
    if (count <= 0)
        return;
    m_done += count;
    m_tally.Skip(count);
    emit Progress(m_done, m_plan.sends, m_tally.failed());
}

void RepeatRun::finish(const QString& verdict)
{
    m_running = false;
    for (QTimer* timer : {&m_next, &m_wait, &m_settle, &m_figures})
        timer->stop();
    disconnect(&m_link, &RunLink::BytesRead, this, &RepeatRun::bytesRead);
    m_link.SetHandOnAsRead(false);
    watchClock();
    emit Finished(verdict + m_tally.Figures(m_plan.replyWindowMs()), m_tally.failed() > 0);
}

void RepeatRun::watchClock()
{
    if (const qint64 jump = m_clock.TakeJump())
        m_tally.ClockJumped(jump);
}

QString RepeatRun::head() const
{
    const QString verb =
        m_running ? QStringLiteral("Repeat at") : QStringLiteral("Repeat stopped after");
    return m_plan.sends > 0 ? QStringLiteral("%1 %2 of %3").arg(verb).arg(m_done).arg(m_plan.sends)
                            : QStringLiteral("%1 %2").arg(verb).arg(m_done);
}
