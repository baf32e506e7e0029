#pragma once

#include "app/WindowLink.h"
#include "app/WindowOutput.h"
#include "repeat/RepeatClock.h"
#include "repeat/RepeatPlan.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>

class CheckRun;
struct Description;
class EventLog;
class QAction;
class RepeatRun;
struct ReplyCheck;
class frmMain;

// The window's repeats and check files: "Repeat…", "Stop Repeating" and "Run Check File…" for the
// command line's menu. A check file runs as accessterm check runs it, its lines in the log, and is
// stopped as a repeat is. A repeat sends
// the command line's text as it stands when it starts; its commands and replies are logged as the
// window logs traffic, a failed send's line drawn red with what failed in its tooltip, and its
// verdict last. The title says how far it is. Escape stops it when nothing else takes the key
// (a popup, a dialog, a widget of its own that handles Escape: the key comes here only when none
// took it), and so do Stop Repeating, Close, Connect, a change of port, transport or baud rate
// and a lost link, each named in the verdict.
class RepeatControl : public QObject
{
    Q_OBJECT
public:
    explicit RepeatControl(frmMain& window);
    ~RepeatControl() override;

    QAction& repeatAction() const { return *m_repeatAction; }
    QAction& stopAction() const { return *m_stopAction; }
    QAction& checkFileAction() const { return *m_checkFileAction; }

    // Asks how to repeat; once accepted, starts.
    void AskRepeat();
    // Starts a repeat of the command line's text, when the link is up; a refusal is logged.
    void StartRepeat(const RepeatPlan& plan);
    // Asks for a check file and how many runs; once accepted, runs it.
    void AskCheckFile();
    // Runs the check file on the window's link; a file with a bad line is refused, its line named.
    void RunCheckFile(const QString& path, int runs);
    // Stops the repeat or the check file that runs.
    void Stop(const QString& reason);
    bool isRunning() const;
    // Repeats and check files started from now on read replies by this protocol's frames and
    // complete their commands into them (none: bursts, and the check value chosen).
    void SetProtocol(std::shared_ptr<const Description> description)
    {
        m_protocol = std::move(description);
    }
    RepeatRun* repeat() const { return m_repeat; }
    CheckRun* checkRun() const { return m_check; }
    // For tests: the clock a repeat started from now on reads.
    void SetClock(RepeatClock* clock) { m_clock = clock; }

signals:
    // A repeat or a check file starts (before it reads the link) or has ended.
    void RunningChanged(bool running);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchStops();
    void logReply(qint64 n, const QByteArray& reply, qint64 answerMs, const ReplyCheck& check,
                  const QString& failure);
    void showProgress(qint64 done, qint64 total, qint64 failed);
    void ended(const QString& verdict);
    // Offers to start or to stop, as something runs or not.
    void offer(bool running);

    frmMain& m_window;
    EventLog& m_log;
    WindowLink m_link;
    WindowOutput m_output;
    RepeatClock m_ownClock;
    RepeatClock* m_clock = &m_ownClock;
    RepeatRun* m_repeat = nullptr;
    CheckRun* m_check = nullptr;
    std::shared_ptr<const Description> m_protocol;
    QString m_checkPath; // what the check file dialog offers next, in this run
    int m_checkRuns = 1;
    RepeatPlan m_lastPlan;   // what the dialog offers next, in this run
    QString m_title;         // the window's title before the repeat
    QElapsedTimer m_titleAt; // when the title last changed
    QAction* m_repeatAction = nullptr;
    QAction* m_stopAction = nullptr;
    QAction* m_checkFileAction = nullptr;
};
