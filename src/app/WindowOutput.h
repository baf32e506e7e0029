#pragma once

#include "repeat/RunOutput.h"

class EventLog;

// A check file's run written to the window's log: its lines as status lines, a "not ok" one drawn
// red with itself in its tooltip, its commands as command lines. Replies are the window's to log,
// as every reply is.
class WindowOutput : public RunOutput
{
    Q_OBJECT
public:
    explicit WindowOutput(EventLog& log, QObject* parent = nullptr);

    bool Line(const QString& line) override;
    void Error(const QString& line) override;
    bool Reply(const QString&, QByteArrayView, bool) override { return true; }
    bool Command(const QString& shown, const QByteArray& bytes) override;

private:
    EventLog& m_log;
};
