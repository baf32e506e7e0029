#include "terminal/Pattern.h"

#include <algorithm>

QString PatternText(QByteArrayView bytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    bytes = bytes.first(std::min(bytes.size(), kPatternBytes));
    QString text;
    text.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x21 && byte <= 0x7E) {
            text += QLatin1Char(c);
        } else {
            const char token[] = {'<', kHex[byte >> 4], kHex[byte & 15], '>'};
            text += QLatin1StringView(token, 4);
        }
    }
    return text;
}

QByteArray PatternBytes(QStringView text)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        bool ok = false;
        if (text[i] == QLatin1Char('<') && i + 3 < text.size() && text[i + 3] == QLatin1Char('>')) {
            const uint value = text.sliced(i + 1, 2).toUInt(&ok, 16);
            if (ok) {
                bytes += char(value);
                i += 3;
                continue;
            }
        }
        bytes += char(text[i].toLatin1());
    }
    return bytes;
}

std::optional<Pattern> Pattern::Compile(const QString& text, QString& why)
{
    Pattern pattern;
    pattern.m_text = text;
    pattern.m_expression.setPattern(text);
    if (!pattern.m_expression.isValid()) {
        why = QStringLiteral("pattern does not compile: %1 at position %2")
                  .arg(pattern.m_expression.errorString())
                  .arg(pattern.m_expression.patternErrorOffset() + 1);
        return std::nullopt;
    }
    pattern.m_expression.optimize();
    return pattern;
}

Pattern::Result Pattern::Search(QByteArrayView reply, QStringList* groups) const
{
    return SearchText(PatternText(reply), groups);
}

Pattern::Result Pattern::SearchText(const QString& text, QStringList* groups) const
{
    const QRegularExpressionMatch match = m_expression.match(text);
    // A valid expression gives an invalid match only when the engine gave up on it.
    if (!match.isValid())
        return Result::GaveUp;
    if (!match.hasMatch())
        return Result::NoMatch;
    if (groups) {
        groups->clear();
        for (int n = 1; n <= 9; ++n)
            groups->append(match.captured(n));
    }
    return Result::Match;
}
