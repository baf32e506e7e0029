#pragma once

#include <QByteArrayView>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <optional>

// The longest part of a reply a pattern is searched in; the rest is not looked at.
inline constexpr qsizetype kPatternBytes = qsizetype(64) << 10;

// The text every pattern is searched in, the same in the window and the shell: printable ASCII
// (21-7E) as itself and every other byte as its "<hh>" token, for the first kPatternBytes bytes.
QString PatternText(QByteArrayView bytes);

// The bytes a piece of pattern text stands for: "<hh>" is one byte, any other character its own.
QByteArray PatternBytes(QStringView text);

// A regular expression searched in a reply's pattern text.
class Pattern
{
public:
    enum class Result { NoMatch, Match, GaveUp };

    // The compiled pattern, or none with why when it does not compile.
    static std::optional<Pattern> Compile(const QString& text, QString& why);

    // Searches the reply; groups, when given, gets what groups 1 to 9 caught. GaveUp: the engine
    // reached its match limit, which counts as no match but must be said.
    Result Search(QByteArrayView reply, QStringList* groups = nullptr) const;
    Result SearchText(const QString& text, QStringList* groups = nullptr) const;
    const QString& text() const { return m_text; }

private:
    QString m_text;
    QRegularExpression m_expression;
};
