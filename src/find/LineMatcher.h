#pragma once

#include "terminal/Pattern.h"

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringMatcher>

#include <optional>

class LogLine;

// What the log's lines are searched for, one of three ways, among the lines of one kind:
// - text: the line as the log shows it, its "[Input]------" or "[Output]------" marker left out,
//   case ignored unless asked;
// - pattern: a pattern as the answers file and check files write it, searched in a traffic
//   line's bytes as they are (printable ASCII as itself, other bytes as "<hh>") and in a status
//   line's text; a pattern that gives up on a line counts as no match;
// - bytes: hex pairs ("02 41 42"), searched in the bytes a traffic line stands for.
// Each line is searched on its own: a reply split over lines matches in none across the split.
class LineMatcher
{
public:
    enum class Way { Text, Pattern, Bytes };
    // Where a line shows a match: characters of its text.
    struct Span {
        qsizetype from;
        qsizetype length;
    };

    // The matcher, or none with why in words when the words are no pattern or no hex pairs.
    // kind: an entry of LineKinds().
    static std::optional<LineMatcher> Make(Way way, const QString& words, bool matchCase, int kind,
                                           QString& why);

    // Whether it looks for anything: words, or one kind of line.
    bool searches() const;
    // Whether the line matches; gaveUp, when given, is set when the pattern gave up on it.
    bool matches(const LogLine& line, bool* gaveUp = nullptr) const;
    // Whether text the line carries besides its own (as a status line's text is) matches.
    bool matchesText(QStringView text, bool* gaveUp = nullptr) const;
    // Where a matching line shows its matches, the first `most` of those that begin within its
    // first `within` characters; the whole text after the marker when its text does not spell
    // the match.
    QList<Span> spans(const LogLine& line, qsizetype within, qsizetype most = -1) const;
    // What is searched for, in words: text "0A0B", pattern "^<02>", bytes 02 41, with the kind.
    QString description() const;

    // The characters a line's marker takes at its start (none for a status line).
    static qsizetype MarkerLength(const LogLine& line);

private:
    bool matchesBytes(const LogLine& line) const;
    bool matchesTraffic(const LogLine& line, bool* gaveUp) const;
    // A reply line's text after its marker, when it spells what a pattern is searched in.
    static std::optional<QStringView> PatternTextShown(const LogLine& line);

    Way m_way = Way::Text;
    QString m_words;
    int m_kind = 0;
    QStringMatcher m_text; // text: the words; bytes: how a reply shows them
    std::optional<Pattern> m_pattern;
    QRegularExpression m_spanFinder; // the pattern again, for where it matches
    QByteArray m_bytes;
};
