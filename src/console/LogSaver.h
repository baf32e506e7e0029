#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QThread;

// Writes the event log to a file on a thread of its own, so that a log of a million lines
// saves while the window goes on. Each line becomes its local time as "yyyy-MM-dd hh:mm:ss.zzz",
// two blanks and its text, in UTF-8 with LF ends. The file is written whole or not at all: an
// existing file is replaced only once every line is in, and stays as it was otherwise.
class LogSaver : public QObject
{
    Q_OBJECT
public:
    struct Entry {
        qint64 timeMs; // milliseconds since the epoch
        QString text;
    };

    // Starts writing lines to path; finished follows on this object's thread.
    LogSaver(const QString& path, QList<Entry> lines, QObject* parent = nullptr);
    // Waits for the writing to end.
    ~LogSaver() override;

    // Writes lines to path now; returns why it failed, or an empty string.
    static QString Write(const QString& path, const QList<Entry>& lines);

signals:
    // error is empty when every line was written.
    void finished(const QString& path, qsizetype lines, const QString& error);

private:
    QThread* m_thread;
    QString m_error;
};
