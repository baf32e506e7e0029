#include "answers/AnswerRules.h"

#include "answers/RefusedLines.h"
#include "notation/EncodeCommandText.h"

#include <QRegularExpression>

namespace
{

const QRegularExpression& GroupReference()
{
    static const QRegularExpression reference(QStringLiteral("\\$([1-9])"));
    return reference;
}

// The bytes of a piece of reply text in the notation, or why it is refused.
bool Encode(const QString& text, QByteArray& bytes, QString& why)
{
    const EncodedCommand encoded = EncodeCommandText(text.toStdU32String());
    if (!encoded.ok()) {
        why = QString::fromStdString(encoded.error->Describe());
        return false;
    }
    bytes.append(reinterpret_cast<const char*>(encoded.bytes.data()),
                 qsizetype(encoded.bytes.size()));
    return true;
}

} // namespace

AnswerRules AnswerRules::Parse(const QString& text, const QString& name, QStringList& problems)
{
    AnswerRules rules;
    RefusedLines refused(problems, name);
    int number = 0;
    for (QStringView line : QStringTokenizer(text, QLatin1Char('\n'))) {
        ++number;
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype split = line.lastIndexOf(QLatin1String(" = "));
        QString why;
        AnswerRule rule;
        rule.line = number;
        QByteArray bytes;
        // The line is trimmed, so a pattern and a reply are there whenever " = " is.
        if (rules.m_rules.size() == kMostRules) {
            why = QStringLiteral("more than %1 rules").arg(kMostRules);
        } else if (split < 0) {
            why = QStringLiteral("no \" = \"");
        } else if (std::optional<Pattern> compiled =
                       Pattern::Compile(line.first(split).trimmed().toString(), why)) {
            rule.pattern = std::move(*compiled);
            rule.reply = line.sliced(split + 3).trimmed().toString();
            QString literal = rule.reply;
            if (Encode(literal.remove(GroupReference()), bytes, why)) {
                rules.m_rules.append(std::move(rule));
                continue;
            }
        }
        refused.Add(number, why);
    }
    return rules;
}

ChosenAnswer AnswerRules::Answer(QByteArrayView reply)
{
    ChosenAnswer chosen;
    const QString text = PatternText(reply);
    QStringList groups;
    for (const AnswerRule& rule : std::as_const(m_rules)) {
        // A rule that gave up once would cost as much at every reply: it is set aside.
        if (m_gaveUp.contains(rule.line))
            continue;
        const Pattern::Result result = rule.pattern.SearchText(text, &groups);
        if (result == Pattern::Result::GaveUp) {
            m_gaveUp.insert(rule.line);
            chosen.gaveUp.append(rule.line);
        }
        if (result != Pattern::Result::Match)
            continue;
        chosen.rule = &rule;
        qsizetype from = 0;
        QString why;
        for (const QRegularExpressionMatch& reference : GroupReference().globalMatch(rule.reply)) {
            const QString before = rule.reply.sliced(from, reference.capturedStart() - from);
            const QString group = groups.at(reference.captured(1).toInt() - 1);
            Encode(before, chosen.bytes, why);
            chosen.bytes += PatternBytes(group);
            chosen.text += before + group;
            from = reference.capturedEnd();
        }
        Encode(rule.reply.sliced(from), chosen.bytes, why);
        chosen.text += rule.reply.sliced(from);
        break;
    }
    return chosen;
}
