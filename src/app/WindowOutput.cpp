#include "app/WindowOutput.h"

#include "console/EventLog.h"
#include "terminal/TrafficLines.h"

WindowOutput::WindowOutput(EventLog& log, QObject* parent) : RunOutput(parent), m_log(log) {}

bool WindowOutput::Line(const QString& line)
{
    LineMarks marks;
    if (line.startsWith(QLatin1String("not ok "))) {
        marks.details = line;
        marks.flagged = true;
    }
    m_log.AddMarkedLine(line, marks);
    return true;
}

void WindowOutput::Error(const QString& line)
{
    m_log.AddLine(line);
}

bool WindowOutput::Command(const QString& shown, const QByteArray& bytes)
{
    m_log.AddCommand(kOutputMarker + shown, bytes);
    return true;
}
