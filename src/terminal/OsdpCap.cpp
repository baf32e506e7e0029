#include "terminal/OsdpCap.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cctype>
#include <ctime>

namespace
{

const char* IoName(SessionStream io)
{
    switch (io) {
    case SessionStream::Output:
        return "output";
    case SessionStream::Input:
        return "input";
    case SessionStream::Trace:
        break;
    }
    return "trace";
}

// A whole number written as a JSON string or as a number.
std::optional<qint64> Whole(const QJsonValue& value)
{
    bool ok = false;
    const qint64 number = value.isString()   ? value.toString().toLongLong(&ok)
                          : value.isDouble() ? value.toInteger(-1)
                                             : -1;
    if (value.isDouble())
        ok = number >= 0 && double(number) == value.toDouble();
    return ok && number >= 0 ? std::optional(number) : std::nullopt;
}

// Hex pairs, with any blanks, dashes or colons between them.
std::optional<QByteArray> HexData(const QString& text)
{
    QByteArray digits;
    digits.reserve(text.size());
    for (QChar c : text) {
        if (std::isxdigit(c.unicode() < 128 ? c.unicode() : 0))
            digits += char(c.unicode());
        else if (c != QLatin1Char(' ') && c != QLatin1Char('-') && c != QLatin1Char(':'))
            return std::nullopt;
    }
    if (digits.size() % 2 != 0)
        return std::nullopt;
    return QByteArray::fromHex(digits);
}

// text as a JSON string, quoted and escaped.
QByteArray JsonString(const QString& text)
{
    const QByteArray object =
        QJsonDocument(QJsonObject{{QStringLiteral("v"), text}}).toJson(QJsonDocument::Compact);
    return object.sliced(5).chopped(1); // {"v":"..."}
}

std::optional<OsdpCapRecord> Refuse(QString* why, const QString& reason)
{
    if (why)
        *why = reason;
    return std::nullopt;
}

} // namespace

QByteArray OsdpCapLine(const OsdpCapRecord& record)
{
    // Written by hand: the tools' own order of the fields, which a JSON object would sort.
    QByteArray line = R"({"timeSec":")" + QByteArray::number(record.timeSec) + R"(","timeNano":")" +
                      QByteArray::number(record.timeNano).rightJustified(9, '0') + R"(","io":")" +
                      IoName(record.io) + R"(","data":")" + record.data.toHex(' ') +
                      R"(","osdpTraceVersion":)";
    line += JsonString(record.version) + R"(,"osdpSource":)" + JsonString(record.source);
    return line + "}\n";
}

std::optional<OsdpCapRecord> ReadOsdpCapLine(QByteArrayView line, QString* why)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (!document.isObject())
        return Refuse(why, error.error != QJsonParseError::NoError
                               ? error.errorString()
                               : QStringLiteral("not a JSON object"));
    const QJsonObject object = document.object();
    OsdpCapRecord record;
    const std::optional<qint64> sec = Whole(object.value(QLatin1String("timeSec")));
    const std::optional<qint64> nano = Whole(object.value(QLatin1String("timeNano")));
    // Times past the year 9999 are no clock's: refused before they overflow in milliseconds.
    if (!sec || !nano || *sec > 253402300799 || *nano > 999999999)
        return Refuse(why, QStringLiteral("no timeSec and timeNano"));
    record.timeSec = *sec;
    record.timeNano = qint32(*nano);
    const QString io = object.value(QLatin1String("io")).toString();
    if (io == QLatin1String("output"))
        record.io = SessionStream::Output;
    else if (io == QLatin1String("input"))
        record.io = SessionStream::Input;
    else if (io == QLatin1String("trace"))
        record.io = SessionStream::Trace;
    else
        return Refuse(why, QStringLiteral("io is not output, input or trace"));
    const std::optional<QByteArray> data = HexData(object.value(QLatin1String("data")).toString());
    if (!data)
        return Refuse(why, QStringLiteral("data is not hex pairs"));
    record.data = *data;
    record.version = object.value(QLatin1String("osdpTraceVersion")).toString();
    record.source = object.value(QLatin1String("osdpSource")).toString();
    return record;
}

bool OsdpCapWriter::Open(const QString& path)
{
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

bool OsdpCapWriter::Write(SessionStream io, QByteArrayView data)
{
    // The time as the format has it: clock_gettime's, to the nanosecond.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const QByteArray line = OsdpCapLine({qint64(now.tv_sec), qint32(now.tv_nsec), io,
                                         data.toByteArray(), QStringLiteral("1"), m_source});
    return m_file.write(line) == line.size() && m_file.flush();
}
