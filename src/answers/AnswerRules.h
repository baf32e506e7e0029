#pragma once

#include "terminal/Pattern.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// One rule of an answers file: a reply that matches pattern is answered with reply, a text in
// the notation in which $1 to $9 stand for what the pattern's groups caught.
struct AnswerRule {
    int line = 0;
    Pattern pattern;
    QString reply;
};

// The answer chosen for a reply: the first rule that matches, none when no rule does.
struct ChosenAnswer {
    const AnswerRule* rule = nullptr;
    QByteArray bytes;
    QString text; // the reply text with the groups put in
    // Lines whose pattern gave up on this reply: their rules are set aside from now on.
    QList<int> gaveUp;
};

// The rules of an answers file, one a line: "PATTERN = REPLY", split at the last " = ", blanks
// around both trimmed; blank lines and lines starting with "#" are skipped. A rule whose pattern
// gives up at the match limit is set aside for good: it would cost as much at every reply.
class AnswerRules
{
public:
    // Every reply is searched by each rule in turn, and each compiled pattern holds some
    // kilobytes: a file of more rules than a controller has answers is refused past this many.
    static constexpr qsizetype kMostRules = 1000;

    // Reads text; each line refused is left out and told in problems as RefusedLines tells it.
    static AnswerRules Parse(const QString& text, const QString& name, QStringList& problems);

    ChosenAnswer Answer(QByteArrayView reply);
    const QList<AnswerRule>& rules() const { return m_rules; }

private:
    QList<AnswerRule> m_rules;
    QSet<int> m_gaveUp; // lines whose pattern gave up: set aside
};
