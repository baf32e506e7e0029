#include "find/LineMatcher.h"

#include "console/LogLine.h"
#include "find/LineKinds.h"
#include "terminal/TrafficLines.h"

#include <QRegularExpressionMatchIterator>

#include <limits>

namespace
{

// The characters a reply shows a byte as: a token, or the byte itself.
qsizetype ShownWidth(char byte)
{
    const auto c = static_cast<unsigned char>(byte);
    return c <= 32 || c == 127 ? 4 : 1;
}

// Text to search without copying it.
QString Borrowed(QStringView text)
{
    return QString::fromRawData(reinterpret_cast<const QChar*>(text.data()), text.size());
}

} // namespace

std::optional<LineMatcher> LineMatcher::Make(Way way, const QString& words, bool matchCase,
                                             int kind, QString& why)
{
    LineMatcher matcher;
    matcher.m_way = way;
    matcher.m_words = words;
    matcher.m_kind = qBound(0, kind, int(LineKinds().size()) - 1);
    if (words.isEmpty())
        return matcher;
    if (way == Way::Text) {
        matcher.m_text.setCaseSensitivity(matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
        matcher.m_text.setPattern(words);
    } else if (way == Way::Pattern) {
        matcher.m_pattern = Pattern::Compile(words, why);
        if (!matcher.m_pattern)
            return std::nullopt;
        matcher.m_spanFinder.setPattern(words);
    } else {
        QByteArray digits;
        for (const QChar c : words) {
            if (c.isSpace())
                continue;
            if (!QStringLiteral("0123456789abcdefABCDEF").contains(c)) {
                why = QStringLiteral("bytes are hex pairs, as 02 41 42: \"%1\" is no hex digit")
                          .arg(c);
                return std::nullopt;
            }
            digits += char(c.unicode());
        }
        if (digits.isEmpty() || digits.size() % 2 != 0) {
            why = digits.isEmpty() ? QStringLiteral("bytes are hex pairs, as 02 41 42")
                                   : QStringLiteral("bytes are hex pairs: one digit has no pair");
            return std::nullopt;
        }
        matcher.m_bytes = QByteArray::fromHex(digits);
        // Where a reply holds the bytes, its text shows them as it shows any.
        matcher.m_text.setPattern(InputLine(matcher.m_bytes, QString()));
    }
    return matcher;
}

bool LineMatcher::searches() const
{
    return !m_words.isEmpty() || m_kind != 0;
}

qsizetype LineMatcher::MarkerLength(const LogLine& line)
{
    if (line.kind() == LogLine::Kind::Status)
        return 0;
    for (const QString* marker : {&kInputMarker, &kContinuedMarker, &kOutputMarker}) {
        if (line.text().startsWith(*marker))
            return marker->size();
    }
    return 0;
}

bool LineMatcher::matches(const LogLine& line, bool* gaveUp) const
{
    if (!LineKinds()[m_kind].accepts(line))
        return false;
    if (m_words.isEmpty())
        return true;
    if (m_way == Way::Bytes)
        return matchesBytes(line);
    const bool found =
        m_way == Way::Pattern && line.kind() != LogLine::Kind::Status
            ? matchesTraffic(line, gaveUp)
            : matchesText(QStringView(line.text()).sliced(MarkerLength(line)), gaveUp);
    // What is shown after the line (a frame's summary) is searched on its own: a match never
    // runs from the one into the other.
    if (found)
        return true;
    const QString aside = line.aside();
    return !aside.isEmpty() && matchesText(aside, gaveUp);
}

bool LineMatcher::matchesText(QStringView text, bool* gaveUp) const
{
    if (m_way == Way::Text)
        return m_text.indexIn(text) >= 0;
    if (m_way == Way::Bytes)
        return false;
    const Pattern::Result result = m_pattern->SearchText(Borrowed(text));
    if (result == Pattern::Result::GaveUp && gaveUp)
        *gaveUp = true;
    return result == Pattern::Result::Match;
}

std::optional<QStringView> LineMatcher::PatternTextShown(const LogLine& line)
{
    // A reply shows its printable ASCII as itself and the rest as tokens, as a pattern reads it,
    // but for the bytes from 80 up, which it shows as characters of the code page.
    if (line.kind() != LogLine::Kind::Input || line.byteCount() > kPatternBytes)
        return std::nullopt;
    const QStringView shown = QStringView(line.text()).sliced(MarkerLength(line));
    for (const QChar c : shown) {
        if (c.unicode() >= 0x80)
            return std::nullopt;
    }
    return shown;
}

bool LineMatcher::matchesTraffic(const LogLine& line, bool* gaveUp) const
{
    if (const std::optional<QStringView> shown = PatternTextShown(line))
        return matchesText(*shown, gaveUp);
    return matchesText(PatternText(line.firstBytes(kPatternBytes)), gaveUp);
}

bool LineMatcher::matchesBytes(const LogLine& line) const
{
    if (!line.hasBytes())
        return false;
    // Read back only the replies whose text shows the bytes somewhere.
    if (line.kind() == LogLine::Kind::Input &&
        m_text.indexIn(QStringView(line.text()).sliced(MarkerLength(line))) < 0)
        return false;
    return line.bytes().contains(m_bytes);
}

QList<LineMatcher::Span> LineMatcher::spans(const LogLine& line, qsizetype within,
                                            qsizetype most) const
{
    if (most < 0)
        most = std::numeric_limits<qsizetype>::max();
    const qsizetype marker = MarkerLength(line);
    const QString& text = line.text();
    const QList<Span> whole{{marker, text.size() - marker}};
    QList<Span> spans;
    const auto textSpans = [&](QStringView subject, qsizetype offset) {
        if (m_way == Way::Text) {
            for (qsizetype at = m_text.indexIn(subject);
                 at >= 0 && at + offset <= within && spans.size() < most;
                 at = m_text.indexIn(subject, at + qMax(qsizetype(1), m_words.size())))
                spans.append({at + offset, m_words.size()});
            return;
        }
        QRegularExpressionMatchIterator it = m_spanFinder.globalMatch(Borrowed(subject));
        while (it.hasNext() && spans.size() < most) {
            const QRegularExpressionMatch match = it.next();
            if (match.capturedStart() + offset > within)
                break;
            spans.append({match.capturedStart() + offset, match.capturedLength()});
        }
    };
    if (m_words.isEmpty())
        return whole;
    if (m_way == Way::Text || (m_way == Way::Pattern && line.kind() == LogLine::Kind::Status)) {
        textSpans(QStringView(text).sliced(marker), marker);
    } else if (m_way == Way::Pattern) {
        const std::optional<QStringView> shown = PatternTextShown(line);
        if (!shown)
            return whole;
        textSpans(*shown, marker);
    } else {
        if (line.kind() != LogLine::Kind::Input)
            return whole;
        // A reply's bytes from their offsets to where its text shows them.
        const QByteArray bytes = line.firstBytes(within + m_bytes.size());
        qsizetype shownAt = marker;
        qsizetype byte = 0;
        for (qsizetype at = bytes.indexOf(m_bytes); at >= 0 && spans.size() < most;
             at = bytes.indexOf(m_bytes, at + 1)) {
            for (; byte < at; ++byte)
                shownAt += ShownWidth(bytes[byte]);
            qsizetype length = 0;
            for (const char c : QByteArrayView(bytes).sliced(at, m_bytes.size()))
                length += ShownWidth(c);
            spans.append({shownAt, length});
        }
    }
    return spans;
}

QString LineMatcher::description() const
{
    static const QString ways[] = {QStringLiteral("text"), QStringLiteral("pattern"),
                                   QStringLiteral("bytes")};
    const QString kind = LineKinds()[m_kind].name;
    if (m_words.isEmpty())
        return kind;
    const QString words = m_way == Way::Bytes ? QString::fromLatin1(m_bytes.toHex(' ').toUpper())
                                              : QLatin1Char('"') + m_words + QLatin1Char('"');
    const QString what = ways[int(m_way)] + QLatin1Char(' ') + words;
    return m_kind == 0 ? what : what + QStringLiteral(" among ") + kind;
}
