#include "answers/CheckScript.h"

#include "notation/EncodeCommandText.h"

#include <QRegularExpression>

namespace
{

// The command list's entries, "name = command" split at the first "=", as the window reads
// them; a name given twice is kept with no command, so that using it is refused.
QHash<QString, std::optional<QString>> NamedCommands(const QString& text)
{
    QHash<QString, std::optional<QString>> named;
    for (QStringView line : QStringTokenizer(text, QLatin1Char('\n'))) {
        line = line.trimmed();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1Char('#')) || equals <= 0)
            continue;
        const QString name = line.first(equals).trimmed().toString().toCaseFolded();
        const QString command = line.sliced(equals + 1).trimmed().toString();
        if (named.contains(name))
            named[name].reset();
        else
            named.insert(name, command);
    }
    return named;
}

bool Read(CheckStep& step, const QString& word, const QString& rest,
          const QHash<QString, std::optional<QString>>& named, QString& why)
{
    static const QRegularExpression within(QStringLiteral("^(.*?)\\s+within\\s+(\\d{1,9})$"));
    static const QRegularExpression ms(QStringLiteral("^\\d{1,9}$"));
    if (word == QLatin1String("wait")) {
        step.kind = CheckStep::Kind::Wait;
        if (!ms.match(rest).hasMatch()) {
            why = QStringLiteral("wait wants milliseconds");
            return false;
        }
        step.ms = rest.toInt();
        return true;
    }
    if (word == QLatin1String("expect")) {
        step.kind = CheckStep::Kind::Expect;
        step.ms = kDefaultWithinMs;
        QString pattern = rest;
        if (const QRegularExpressionMatch match = within.match(rest); match.hasMatch()) {
            pattern = match.captured(1);
            step.ms = match.captured(2).toInt();
        }
        if (pattern.isEmpty())
            why = QStringLiteral("expect wants a pattern");
        else
            step.pattern = Pattern::Compile(pattern, why);
        return step.pattern.has_value();
    }
    step.kind = CheckStep::Kind::Send;
    if (word == QLatin1String("use")) {
        const auto entry = named.constFind(rest.toCaseFolded());
        if (entry == named.cend()) {
            why = QStringLiteral("no command named \"%1\"").arg(rest);
            return false;
        }
        if (!entry->has_value()) {
            why = QStringLiteral("\"%1\" is named more than once").arg(rest);
            return false;
        }
        step.command = **entry;
    } else if (word == QLatin1String("send")) {
        step.command = rest;
    } else {
        why = QStringLiteral("unknown step \"%1\"").arg(word);
        return false;
    }
    const EncodedCommand encoded = EncodeCommandText(step.command.toStdU32String());
    if (!encoded.ok())
        why = QString::fromStdString(encoded.error->Describe());
    else if (encoded.bytes.empty())
        why = QStringLiteral("nothing to send");
    else
        step.bytes = QByteArray(reinterpret_cast<const char*>(encoded.bytes.data()),
                                qsizetype(encoded.bytes.size()));
    return why.isEmpty();
}

} // namespace

QList<CheckStep> ParseCheckScript(const QString& text, const QString& commands,
                                  QStringList& problems)
{
    const QHash<QString, std::optional<QString>> named = NamedCommands(commands);
    QList<CheckStep> steps;
    int number = 0;
    for (QStringView view : QStringTokenizer(text, QLatin1Char('\n'))) {
        ++number;
        const QString line = view.trimmed().toString();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype blank = line.indexOf(QRegularExpression(QStringLiteral("\\s")));
        const QString word = line.first(blank < 0 ? line.size() : blank);
        CheckStep step;
        step.line = number;
        step.text = line;
        QString why;
        if (Read(step, word, line.sliced(word.size()).trimmed(), named, why))
            steps.append(std::move(step));
        else
            problems << QStringLiteral("line %1: %2").arg(number).arg(why);
    }
    return steps;
}
