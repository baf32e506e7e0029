#include "console/LogSaver.h"

#include <QDateTime>
#include <QSaveFile>
#include <QThread>

LogSaver::LogSaver(const QString& path, QList<Entry> lines, QObject* parent) : QObject(parent)
{
    const qsizetype count = lines.size();
    m_thread =
        QThread::create([this, path, lines = std::move(lines)] { m_error = Write(path, lines); });
    connect(m_thread, &QThread::finished, this,
            [this, path, count] { emit finished(path, count, m_error); });
    m_thread->start();
}

LogSaver::~LogSaver()
{
    m_thread->wait();
    delete m_thread;
}

QString LogSaver::Write(const QString& path, const QList<Entry>& lines)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // Lines come many to a second: the local date and time is worked out once a second.
    qint64 second = -1;
    QByteArray stamp;
    QByteArray chunk;
    // A short write leaves the reason to the next one.
    const auto flush = [&] {
        for (qsizetype at = 0; at < chunk.size();) {
            const qint64 written = file.write(chunk.constData() + at, chunk.size() - at);
            if (written <= 0)
                return false;
            at += written;
        }
        chunk.clear();
        return true;
    };
    for (const Entry& line : lines) {
        if (line.timeMs / 1000 != second) {
            second = line.timeMs / 1000;
            stamp = QDateTime::fromMSecsSinceEpoch(second * 1000)
                        .toString(u"yyyy-MM-dd hh:mm:ss.")
                        .toLatin1();
        }
        const int ms = int(line.timeMs % 1000);
        chunk += stamp;
        chunk += char('0' + ms / 100);
        chunk += char('0' + ms / 10 % 10);
        chunk += char('0' + ms % 10);
        chunk += "  ";
        chunk += line.text.toUtf8();
        chunk += '\n';
        if (chunk.size() >= (1 << 20) && !flush())
            return file.errorString();
    }
    if (!flush() || !file.commit())
        return file.errorString();
    return {};
}
