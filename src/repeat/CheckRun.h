#pragma once

#include "answers/CheckScript.h"
#include "terminal/CheckChoice.h"

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>

class RunLink;
class RunOutput;

// What a check file's run is asked to do.
struct CheckRunOptions {
    QString script;       // the check file, "-" for standard input
    QString commandsFile; // the command list for "use" (default: the window's)
    int repeat = 1;       // how many times to run the file
    bool hex = false;     // replies as hex pairs instead of the notation
    QString check;        // the check value's name; empty for none
    // Why a command's bytes cannot go out on the link (a serial frame of 7 data bits); empty
    // when they can. None: every byte goes.
    std::function<QString(QByteArrayView)> tooWide;
};

// A check file run (accessterm check, and Run Check File in the window): its steps in turn over
// the link, the traffic written as send prints it and a verdict line for each expectation, then
// how many passed and failed.
class CheckRun : public QObject
{
    Q_OBJECT
public:
    CheckRun(const CheckRunOptions& options, RunLink& link, RunOutput& output,
             QObject* parent = nullptr);

    // Reads the check file and the command list, refusing them whole for one bad line (a
    // command the serial line's frame cannot carry among them), then opens the link and runs;
    // Finished follows.
    void Start();
    // A stop signal: the link is closed and the mode ends with 128 + the signal's number.
    void Stop(int signalNumber);
    // Stopped by the operator: a line gives the reason and the figures so far; ends with 2.
    void Stop(const QString& reason);

signals:
    // 0 every expectation passed, 1 one failed or a reply failed its check value, 2 a file, a
    // line or the link failed.
    void Finished(int status);

private:
    void readCommands(const QByteArray& script);
    bool checkScript();
    void runStep();
    void nextStep();
    void replyArrived(const QByteArray& reply);
    void timeUp();
    void report(bool passed, const QString& why = {});
    void finish(int status);

    CheckRunOptions m_options;
    RunLink& m_link;
    RunOutput& m_output;
    CheckScript m_script;
    CheckStep m_step; // the step running, or the last one run
    int m_round = 0;
    int m_passed = 0;
    int m_failed = 0;
    quint64 m_turn = 0; // counts the steps begun, so a late wait knows its step is over
    bool m_expecting = false;
    bool m_finished = false;
    bool m_badCheck = false; // a reply failed its check value: the run fails
    CheckChoice m_checks;
    QSet<int> m_gaveUp; // lines whose pattern gave up: they match nothing from then on
    QByteArray m_lastBurst;
    bool m_sawBurst = false;
    QTimer m_timer;
};
