#pragma once

#include "terminal/SessionText.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <optional>

// One record of an OSDP trace in the OSDPCAP form the OSDP tools exchange: one JSON object a
// line, the time as clock_gettime gives it, whether the bytes were sent ("output"), received
// ("input") or heard on a tap ("trace"), the bytes in hex, the format's version ("1") and the tool
// that wrote it.
struct OsdpCapRecord {
    qint64 timeSec = 0;
    qint32 timeNano = 0;
    SessionStream io = SessionStream::Trace;
    QByteArray data;
    QString version = QStringLiteral("1");
    QString source;

    std::int64_t ms() const { return timeSec * 1000 + timeNano / 1000000; }
    bool operator==(const OsdpCapRecord&) const = default;
};

// The record as a line of its file, "\n" included, its fields in the order the tools write them:
// {"timeSec":"1580342115","timeNano":"984691851","io":"input","data":"ff 53 01 ...",
//  "osdpTraceVersion":"1","osdpSource":"accessterm 1.0"}
QByteArray OsdpCapLine(const OsdpCapRecord& record);

// A line of a trace read back; none, with why, when it is not such a record. The tools differ in
// how they write the hex (spaced, dashed, either case) and whether times are strings or numbers:
// each way is read.
std::optional<OsdpCapRecord> ReadOsdpCapLine(QByteArrayView line, QString* why = nullptr);

// A trace file being written: a record a line, each on the disk as it is written, so that a trace
// cut short by a stop or a crash holds every record written before.
class OsdpCapWriter
{
public:
    // source: the tool, as "osdpSource" names it.
    explicit OsdpCapWriter(const QString& source) : m_source(source) {}

    // Makes the file at path, or empties it; false with errorString() when it cannot.
    bool Open(const QString& path);
    // A record of data at the time now; false with errorString() when it cannot be written.
    bool Write(SessionStream io, QByteArrayView data);
    QString errorString() const { return m_file.errorString(); }
    bool isOpen() const { return m_file.isOpen(); }

private:
    QString m_source;
    QFile m_file;
};
