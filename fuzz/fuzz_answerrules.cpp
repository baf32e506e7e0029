// The answers-file parser on arbitrary text, with Qt's regular-expression engine: no crash, no
// hang, every refusal names a line; then the rules answer the input itself as a reply, and an
// answer is always its rule's reply with the groups put in.
#include "answers/AnswerRules.h"

#include "FuzzLines.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = QString::fromUtf8(input);
    QStringList problems;
    AnswerRules rules = AnswerRules::Parse(text, QStringLiteral("Answers.TXT"), problems);
    RequireNamedLines(problems, text, QStringLiteral("Answers.TXT "));
    const ChosenAnswer chosen = rules.Answer(input);
    if (chosen.rule && !chosen.rule->reply.contains(QLatin1Char('$')) &&
        chosen.text != chosen.rule->reply)
        std::abort();
    return 0;
}
