#include "reading/LogSaver.h"

#include "console/EventLogModel.h"
#include "terminal/OsdpCap.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>

LogSaver::LogSaver(const QString& path, const EventLogModel& log, QObject* parent, Form form)
    : QObject(parent), m_log(log), m_file(path), m_form(form),
      m_count(qsizetype(log.lines().size())), m_leftBefore(log.leftEver())
{
    connect(&log, &QAbstractItemModel::modelReset, this, [this] { m_cleared = true; });
    connect(&m_slices, &QTimer::timeout, this, &LogSaver::writeSlice);
    m_slices.start(0);
}

LogSaver::LogSaver(const QString& path, const EventLogModel& log, const QList<qsizetype>& only,
                   QObject* parent, Form form)
    : LogSaver(path, log, parent, form)
{
    m_only = only;
    m_some = true;
    m_count = only.size();
}

void LogSaver::writeText(const LogLine& line)
{
    // Lines come many to a second: the local date and time is worked out once a second.
    if (line.timeMs() / 1000 != m_second) {
        m_second = line.timeMs() / 1000;
        m_stamp = QDateTime::fromMSecsSinceEpoch(m_second * 1000)
                      .toString(u"yyyy-MM-dd hh:mm:ss.")
                      .toLatin1();
    }
    const int ms = int(line.timeMs() % 1000);
    m_chunk += m_stamp;
    m_chunk += char('0' + ms / 100);
    m_chunk += char('0' + ms / 10 % 10);
    m_chunk += char('0' + ms % 10);
    m_chunk += "  ";
    m_chunk += line.text().toUtf8();
    // What an addition shows after the line (a frame's summary) follows it after a tab.
    if (const QString aside = line.aside(); !aside.isEmpty())
        m_chunk += '\t' + aside.toUtf8();
    m_chunk += '\n';
}

void LogSaver::writeSlice()
{
    if (m_cleared)
        return finish(tr("the log was cleared while it was being saved"));
    // What is written must be what the log held at once, the line that counts what left first.
    if (m_log.leftEver() != m_leftBefore)
        return finish(tr("its oldest lines left it while it was being saved"));
    if (m_next == 0 && !m_file.open(QIODevice::WriteOnly))
        return finish(m_file.errorString());
    // A slice stops after a few milliseconds, so the window answers in between.
    QElapsedTimer slice;
    slice.start();
    const auto& lines = m_log.lines();
    for (; m_next < m_count && (m_next % 1024 != 0 || slice.elapsed() < 8); ++m_next) {
        const LogLine& line = lines[size_t(m_some ? m_only[m_next] : m_next)];
        if (m_form == Form::Text) {
            writeText(line);
            ++m_written;
        } else if (line.kind() != LogLine::Kind::Status && line.hasBytes()) {
            // The line's own time, to the millisecond it holds; its bytes exactly.
            const qint64 ms = line.timeMs();
            m_chunk += OsdpCapLine({ms / 1000, qint32(ms % 1000) * 1000000,
                                    line.kind() == LogLine::Kind::Output ? SessionStream::Output
                                                                         : SessionStream::Input,
                                    line.bytes(), QStringLiteral("1"),
                                    QStringLiteral("accessterm " ACCESSTERM_VERSION)});
            ++m_written;
        }
        if (m_chunk.size() >= (1 << 20) && !flush())
            return finish(m_file.errorString());
    }
    if (m_next < m_count)
        return;
    m_slices.stop();
    if (!flush())
        return finish(m_file.errorString());
    // Replacing the file waits for the disk to have it all: off the window's thread.
    m_commit = QThread::create([this] { m_committed = m_file.commit(); });
    m_commit->setParent(this);
    connect(m_commit, &QThread::finished, this,
            [this] { finish(m_committed ? QString() : m_file.errorString()); });
    m_commit->start();
}

LogSaver::~LogSaver()
{
    if (m_commit)
        m_commit->wait();
}

bool LogSaver::flush()
{
    // A short write leaves the reason to the next one.
    for (qsizetype at = 0; at < m_chunk.size();) {
        const qint64 written = m_file.write(m_chunk.constData() + at, m_chunk.size() - at);
        if (written <= 0)
            return false;
        at += written;
    }
    m_chunk.clear();
    return true;
}

void LogSaver::finish(const QString& error)
{
    m_slices.stop();
    if (!error.isEmpty())
        m_file.cancelWriting();
    emit finished(m_file.fileName(), m_written, error);
}
