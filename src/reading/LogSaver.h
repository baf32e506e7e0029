#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSaveFile>
#include <QString>
#include <QTimer>

class EventLogModel;
class LogLine;
class QThread;

// Writes the event log to a file, each line as its local time "yyyy-MM-dd hh:mm:ss.zzz", two
// blanks and its text, in UTF-8 with LF ends; or as an OSDP trace, a record for each line of
// traffic (its time, sent or received, its bytes), status lines left out. A log of a million lines
// takes a good part of a second to write, so it is written a slice at a time between the window's
// other events. The file is written whole or not at all: an existing file is replaced only once
// every line is in, and stays as it was otherwise, as when the log is cleared or its oldest lines
// leave it before.
class LogSaver : public QObject
{
    Q_OBJECT
public:
    enum class Form { Text, OsdpTrace };

    // Starts saving the lines log holds now; lines added meanwhile are left for another save.
    LogSaver(const QString& path, const EventLogModel& log, QObject* parent = nullptr,
             Form form = Form::Text);
    // Starts saving only the lines at those indices of the log, in that order.
    LogSaver(const QString& path, const EventLogModel& log, const QList<qsizetype>& only,
             QObject* parent = nullptr, Form form = Form::Text);
    // Waits for the file to be replaced, if that has begun.
    ~LogSaver() override;

signals:
    // error is empty when every line was written; lines: those written, records of a trace.
    void finished(const QString& path, qsizetype lines, const QString& error);

private:
    void writeSlice();
    void writeText(const LogLine& line);
    bool flush();
    void finish(const QString& error);

    const EventLogModel& m_log;
    QSaveFile m_file;
    Form m_form;
    qsizetype m_written = 0;
    QTimer m_slices;
    qsizetype m_count;       // the lines to save
    QList<qsizetype> m_only; // their indices, when not all
    bool m_some = false;
    qint64 m_leftBefore;  // the lines that had left the log when saving began
    qsizetype m_next = 0; // the next of them to write
    bool m_cleared = false;
    QThread* m_commit = nullptr; // replaces the file once every line is written
    bool m_committed = false;
    qint64 m_second = -1; // the second m_stamp stands for
    QByteArray m_stamp;   // its local date and time, up to the milliseconds
    QByteArray m_chunk;   // written lines not yet handed to the file
};
