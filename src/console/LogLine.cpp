#include "console/LogLine.h"

#include <QDateTime>

#include <cstring>

std::unique_ptr<const LogLine::Extras> LogLine::MakeExtras(const QString& typed,
                                                           const QString& verdict,
                                                           const QString& note,
                                                           const LineMarks& marks)
{
    if (typed.isEmpty() && verdict.isEmpty() && note.isEmpty() && marks.isEmpty())
        return nullptr;
    return std::make_unique<const Extras>(Extras{typed, verdict, note, marks});
}

LogLine LogLine::Status(const QString& text, qint64 timeMs, const LineMarks& marks)
{
    LogLine line;
    line.m_text = text;
    line.m_timeMs = timeMs;
    line.m_inCodePage = AllInCodePage(text);
    if (!marks.isEmpty()) {
        auto traffic = std::make_unique<Traffic>();
        traffic->kind = Kind::Status;
        traffic->extras = MakeExtras({}, {}, {}, marks);
        line.m_traffic = std::move(traffic);
    }
    return line;
}

LogLine LogLine::Output(const QString& text, const QByteArray& bytes, qint64 timeMs,
                        const QString& typed, const QString& note, const LineMarks& marks)
{
    LogLine line = Status(text, timeMs);
    auto traffic = std::make_unique<Traffic>();
    traffic->kind = Kind::Output;
    traffic->byteCount = bytes.size();
    traffic->bytes = bytes;
    traffic->extras = MakeExtras(typed, {}, note, marks);
    line.m_traffic = std::move(traffic);
    return line;
}

LogLine LogLine::Input(const QString& text, qsizetype markerLength, QByteArrayView reply,
                       qint64 answerMs, qint64 timeMs, const ReplyCheck& check,
                       const LineMarks& marks)
{
    // A marker and a rendering are all in the code page: a line of millions is not looked at.
    LogLine line;
    line.m_text = text;
    line.m_timeMs = timeMs;
    line.m_inCodePage = true;
    auto traffic = std::make_unique<Traffic>();
    traffic->kind = Kind::Input;
    traffic->answerMs = answerMs;
    traffic->byteCount = reply.size();
    traffic->renderedFrom = markerLength;
    traffic->extras = MakeExtras({}, check.verdict, {}, marks);
    traffic->checkFailed = check.failed;
    // Most replies hold no "<" at all, and then need no bit.
    const char* const begin = reply.data();
    const char* const end = begin + reply.size();
    for (const char* at = begin;
         (at = static_cast<const char*>(std::memchr(at, '<', size_t(end - at)))); ++at) {
        if (traffic->literalLess.isEmpty())
            traffic->literalLess.resize(reply.size());
        traffic->literalLess.setBit(at - begin);
    }
    line.m_traffic = std::move(traffic);
    return line;
}

bool LogLine::AllInCodePage(QStringView text)
{
    // No early exit: the loop then runs many characters a step.
    bool outside = false;
    for (const QChar c : text)
        outside |= char16_t(c.unicode() - u' ') > 0xff - u' ';
    return !outside;
}

QByteArray LogLine::firstBytes(qsizetype count) const
{
    if (!m_traffic || m_traffic->kind != Kind::Input) {
        const QByteArray held = m_traffic ? m_traffic->bytes : QByteArray();
        return count < held.size() ? held.first(qMax(qsizetype(0), count)) : held;
    }
    // The rendering read back: "<hh>" is one byte unless the bit says the "<" came itself.
    const QBitArray& literal = m_traffic->literalLess;
    const auto digit = [](char16_t c) { return c <= u'9' ? c - u'0' : c - u'A' + 10; };
    QByteArray out(qBound(qsizetype(0), count, byteCount()), Qt::Uninitialized);
    const char16_t* text = reinterpret_cast<const char16_t*>(m_text.constData());
    const char16_t* end = text + m_text.size();
    text += m_traffic->renderedFrom;
    for (qsizetype n = 0; n < out.size() && text < end; ++n) {
        const bool token =
            *text == u'<' && end - text >= 4 && (literal.isEmpty() || !literal.testBit(n));
        out[n] = char(token ? digit(text[1]) * 16 + digit(text[2]) : *text);
        text += token ? 4 : 1;
    }
    return out;
}

qsizetype LogLine::footprint() const
{
    // Each block on the heap carries a header and the allocator's own word or two besides.
    constexpr qsizetype kBlock = 32;
    qsizetype bytes = qsizetype(sizeof(LogLine)) + kBlock + m_text.capacity() * 2;
    if (m_traffic)
        bytes += qsizetype(sizeof(Traffic)) + 3 * kBlock + m_traffic->bytes.capacity() +
                 (m_traffic->literalLess.size() + 7) / 8;
    if (const Extras* more = extras())
        bytes += qsizetype(sizeof(Extras)) + 6 * kBlock +
                 2 * (more->typed.capacity() + more->verdict.capacity() + more->note.capacity() +
                      more->marks.aside.capacity() + more->marks.details.capacity()) +
                 (more->marks.laterDetails ? kBlock * 3 : 0); // what makes them, held apart
    return bytes;
}

QString LogLine::summary() const
{
    const QString time = QDateTime::fromMSecsSinceEpoch(m_timeMs).toString(u"hh:mm:ss.zzz");
    if (kind() == Kind::Status)
        return time;
    const qsizetype count = m_traffic->byteCount;
    const bool reply = m_traffic->kind == Kind::Input;
    QString text = QStringLiteral("%1, %2 %3, %4")
                       .arg(reply ? QStringLiteral("Reply") : QStringLiteral("Command"))
                       .arg(count)
                       .arg(count == 1 ? QStringLiteral("byte") : QStringLiteral("bytes"), time);
    if (reply && m_traffic->answerMs >= 0)
        text += QStringLiteral(", %1 ms after the command").arg(m_traffic->answerMs);
    if (const Extras* more = extras()) {
        if (!more->verdict.isEmpty())
            text += QStringLiteral(", ") + more->verdict;
        if (!more->note.isEmpty())
            text += QStringLiteral(", ") + more->note;
    }
    return text;
}

QString LogLine::details() const
{
    const Extras* more = extras();
    if (!more || !more->marks.laterDetails)
        return more ? more->marks.details : QString();
    const QString later = more->marks.laterDetails();
    const QString& given = more->marks.details;
    return given.isEmpty() || later.isEmpty() ? given + later : given + u'\n' + later;
}

QString LogLine::tooltip() const
{
    const QString more = details();
    return more.isEmpty() ? summary() : summary() + u'\n' + more;
}
