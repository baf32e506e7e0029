#include "answers/CheckScript.h"

#include "answers/RefusedLines.h"
#include "notation/EncodeCommandText.h"

#include <QRegularExpression>
#include <QSet>

namespace
{

// The longest line read: a step is short, and a long line costs several times its size to read.
constexpr qsizetype kLongestLine = qsizetype(1) << 20;

// The line of text that starts at at, trimmed, and false when it is longer than kLongestLine;
// at moves to the next.
bool LineAt(const QByteArray& text, qsizetype& at, QString& line)
{
    qsizetype end = text.indexOf('\n', at);
    end = end < 0 ? text.size() : end;
    const bool shortEnough = end - at <= kLongestLine;
    line = shortEnough ? QString::fromUtf8(text.sliced(at, end - at)).trimmed() : QString();
    at = end + 1;
    return shortEnough;
}

// Calls each with every line of text short enough to read, trimmed, and its number; tooLong with
// the number of every other.
void ForEachLine(const QByteArray& text, const std::function<void(const QString&, int)>& each,
                 const std::function<void(int)>& tooLong = {})
{
    int number = 0;
    QString line;
    for (qsizetype at = 0; at < text.size();) {
        if (LineAt(text, at, line))
            each(line, ++number);
        else if (tooLong)
            tooLong(++number);
        else
            ++number;
    }
}

// The first word of a trimmed line, and the rest trimmed.
QString Word(const QString& line, QString* rest = nullptr)
{
    static const QRegularExpression blank(QStringLiteral("\\s"));
    const qsizetype end = line.indexOf(blank);
    const QString word = line.first(end < 0 ? line.size() : end);
    if (rest)
        *rest = line.sliced(word.size()).trimmed();
    return word;
}

bool Skipped(const QString& line)
{
    return line.isEmpty() || line.startsWith(QLatin1Char('#'));
}

// The command list's entries whose names are in used, "name = command" split at the first "=",
// as the window reads them; a name given twice is kept with no command, so that using it is
// refused.
QHash<QString, std::optional<QString>> NamedCommands(const QByteArray& text,
                                                     const QSet<QString>& used)
{
    QHash<QString, std::optional<QString>> named;
    ForEachLine(text, [&](const QString& line, int) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1Char('#')) || equals <= 0)
            return;
        const QString name = line.first(equals).trimmed().toCaseFolded();
        if (!used.contains(name))
            return;
        if (named.contains(name))
            named[name].reset();
        else
            named.insert(name, line.sliced(equals + 1).trimmed());
    });
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

// A line that is a step: its step, or false with why.
bool ReadStep(const QString& line, int number, const QHash<QString, std::optional<QString>>& named,
              CheckStep& step, QString& why)
{
    step = CheckStep();
    step.line = number;
    step.text = line;
    QString rest;
    const QString word = Word(line, &rest);
    return Read(step, word, rest, named, why);
}

} // namespace

CheckScript::CheckScript(const QByteArray& text, const QByteArray& commands) : m_text(text)
{
    QSet<QString> used;
    ForEachLine(m_text, [&used](const QString& line, int) {
        QString rest;
        if (Word(line, &rest) == QLatin1String("use"))
            used.insert(rest.toCaseFolded());
    });
    if (!used.isEmpty())
        m_named = NamedCommands(commands, used);
}

void CheckScript::Check(RefusedLines& refused,
                        const std::function<QString(const CheckStep&)>& also) const
{
    CheckStep step;
    ForEachLine(
        m_text,
        [&](const QString& line, int number) {
            QString why;
            if (Skipped(line))
                return;
            if (!ReadStep(line, number, m_named, step, why) ||
                (also && step.kind == CheckStep::Kind::Send && !(why = also(step)).isEmpty()))
                refused.Add(number, why);
        },
        [&refused](int number) {
            refused.Add(number, QStringLiteral("longer than %1 MiB").arg(kLongestLine >> 20));
        });
}

bool CheckScript::Next(CheckStep& step)
{
    QString line;
    while (m_at < m_text.size()) {
        const bool read = LineAt(m_text, m_at, line);
        const int number = ++m_line;
        QString why;
        // The file was checked before it ran: a line refused then is not met here.
        if (read && !Skipped(line) && ReadStep(line, number, m_named, step, why))
            return true;
    }
    m_at = 0;
    m_line = 0;
    return false;
}
