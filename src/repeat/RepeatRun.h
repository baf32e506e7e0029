#pragma once

#include "repeat/RepeatPlan.h"
#include "repeat/RepeatSchedule.h"
#include "repeat/RepeatTally.h"
#include "repeat/ReplyGatherer.h"

#include "terminal/Pattern.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>

class CheckChoice;
class FrameReader;
class FrameReplyCutter;
struct Description;
class RepeatClock;
class RunLink;

// A repeat on a link that is open: the plan's commands sent in turn, every interval or each once
// the last one's reply is complete, every reply judged and counted.
//
// How it works:
// - While it runs the link hands on what it reads as it reads it, and the repeat gathers each
//   send's reply itself: what arrives after the send and before the next one. A reply is
//   complete 300 ms after its first byte (a timer, so nothing waits nested) or, with a frame
//   cutter, with its first frame; a send that comes first ends it sooner. With a protocol, its
//   reader is the cutter, and each command is completed as the protocol says when it is sent.
// - A reply is judged once complete, or once the wait has passed without a byte: no reply, a
//   check value that fails, a pattern that does not find it, or answered. What comes after a
//   reply was judged and before the next send is handed on as bytes that answer no send.
// - Sends every interval keep to a schedule on the monotonic clock (RepeatSchedule); a slot
//   missed by an interval is skipped and counted, and so is one whose turn comes while the last
//   command is still leaving a slow line.
class RepeatRun : public QObject
{
    Q_OBJECT
public:
    // How often the figures so far are given while a repeat runs.
    static constexpr qint64 kFiguresEveryMs = 10 * 60 * 1000;

    // checks: the check value chosen, added to the commands and checked in the replies.
    RepeatRun(const RepeatPlan& plan, RunLink& link, const CheckChoice& checks, RepeatClock& clock,
              QObject* parent = nullptr);

    ~RepeatRun() override;

    // Reads the replies by a protocol's frames and completes every command sent into one of them
    // (no check value of the choice then: the frame has its own); before Prepare.
    void SetProtocol(std::shared_ptr<const Description> description);
    // Encodes the commands and compiles the patterns; false with why when one is refused, and
    // then nothing may be sent.
    bool Prepare(QString& why);
    // Starts on the link, which is open, once a reply it is settling has been handed on.
    void Start();
    // Ends the repeat with the reason for the verdict; a reply on its way is given as it stands.
    // The link hands on as before once the repeat has ended; a repeat deleted while it runs
    // leaves the link as it is (the link may be going too).
    void Stop(const QString& reason);

    bool isRunning() const { return m_running; }
    ReplyGatherer& gatherer() { return m_gatherer; }
    const RepeatTally& tally() const { return m_tally; }
    const RepeatPlan& plan() const { return m_plan; }
    // For tests: a shorter time between the figures given while running.
    void SetFiguresEveryMs(int ms) { m_figures.setInterval(ms); }

signals:
    // Send n (from 1) goes out now: the command as the log shows it, and its bytes.
    void Sending(qint64 n, const QString& shown, const QByteArray& bytes);
    // Send n's reply; failure is empty when it answered well ("repeat 412: ..." otherwise). n is
    // 0 for bytes that came after the reply was judged: they answer no send, and count nowhere.
    void Reply(qint64 n, const QByteArray& bytes, qint64 answerMs, const ReplyCheck& check,
               const QString& failure);
    // Send n had no reply within the wait, and nothing came.
    void NoReply(qint64 n, const QString& failure);
    // After each slot: how many of total (0: until stopped) are done, and how many failed.
    void Progress(qint64 done, qint64 total, qint64 failed);
    // The verdict line's figures so far, every kFiguresEveryMs while it runs.
    void Figures(const QString& line);
    // The verdict line; failed when a send failed.
    void Finished(const QString& verdict, bool failed);

private:
    void begin();
    void nextSlot();
    void send(qint64 slot);
    void bytesRead(const QByteArray& bytes);
    // Judges the reply being gathered, if one is; stopping: the repeat is ending under it.
    void judge(bool stopping = false);
    // The send ends what came since: the reply being gathered, and bytes that answer none.
    void endReply();
    void skip(qint64 count);
    void finish(const QString& verdict);
    void watchClock();
    QString head() const;

    RepeatPlan m_plan;
    RunLink& m_link;
    RepeatClock& m_clock;
    ReplyGatherer m_gatherer;
    RepeatTally m_tally;
    std::optional<RepeatSchedule> m_schedule;
    QList<QByteArray> m_bytes; // of each command
    QStringList m_shown;       // each command as the log shows it
    QList<Pattern> m_patterns;
    FrameReader* m_frames = nullptr;            // with a protocol
    std::unique_ptr<FrameReplyCutter> m_cutter; // m_frames' frames, for the gatherer

    bool m_running = false;
    qint64 m_done = 0;    // slots sent or skipped
    qint64 m_awaited = 0; // the send whose reply is being gathered; 0 for none
    qint64 m_sentAt = 0;
    qint64 m_firstByteAt = -1;
    QTimer m_next;
    QTimer m_wait;
    QTimer m_settle;
    QTimer m_figures;
};
