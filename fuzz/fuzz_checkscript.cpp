// The check-file parser on arbitrary text, with Qt's regular-expression engine: no crash, no
// hang, every refusal names a line; a step read is one the text has on that line. The input is
// split at its first NUL into the check file and the command list.
#include "answers/CheckScript.h"
#include "answers/RefusedLines.h"

#include "FuzzLines.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype split = input.indexOf('\0');
    const QByteArray bytes = split < 0 ? input : input.first(split);
    CheckScript checkScript(bytes, split < 0 ? QByteArray() : input.sliced(split + 1));
    QStringList problems;
    {
        RefusedLines refused(problems, QString());
        checkScript.Check(refused);
    }
    const QString script = QString::fromUtf8(bytes);
    RequireNamedLines(problems, script, QString());
    const QStringList lines = script.split(QLatin1Char('\n'));
    for (CheckStep step; checkScript.Next(step);) {
        if (step.line < 1 || step.line > lines.size() ||
            lines.at(step.line - 1).trimmed() != step.text)
            std::abort();
        if (step.kind == CheckStep::Kind::Expect)
            step.pattern->Search(input.first(std::min<qsizetype>(input.size(), 256)));
    }
    return 0;
}
