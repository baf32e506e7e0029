#pragma once

#include <QObject>

class EventLog;

// F8 and Shift+F8 ("Next Failure", "Previous Failure"): the next or the previous failure in the
// log, a line drawn red or a reply whose check value failed, made the current line and brought
// into view. Keys of the whole window, so that they work while typing in the command line, and
// in the log's context menu.
class FailureSteps : public QObject
{
    Q_OBJECT
public:
    explicit FailureSteps(EventLog& log);

    // Steps to the nearest failure after (or before) the current line; false when there is none.
    bool Step(bool forward);

private:
    EventLog& m_log;
};
