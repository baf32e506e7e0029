#include "shell/ShellChecksum.h"

#include "shell/ShellOptions.h"
#include "shell/ShellOutput.h"
#include "terminal/TrafficLines.h"

#include "checks/CheckPlacement.h"
#include "checks/CheckValue.h"
#include "checks/CheckVerdict.h"

namespace
{

QString Latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// The value as a reply's verdict names it: hex pairs, or a -hex value's characters.
QString ValueText(const CheckEntry& check, std::string_view command)
{
    const CheckPlace place = PlaceCheck(check, command);
    const ByteText value = CheckValue(check, command.substr(place.from, place.at - place.from));
    if (check.hex)
        return Latin1(value);
    return QString::fromLatin1(QByteArray::fromStdString(value).toHex(' ').toUpper());
}

void PrintAll(const QString& text, const QByteArray& bytes, ShellOutput& output)
{
    output.Line(kOutputMarker + text);
    const std::string_view command(bytes.constData(), size_t(bytes.size()));
    for (const CheckEntry& check : CheckCatalogue()) {
        const bool fits = VerifyReply(check, command).ok();
        output.Line(QStringLiteral("%1  %2%3")
                        .arg(Latin1(check.name), -16)
                        .arg(ValueText(check, command))
                        .arg(fits ? QStringLiteral("  fits") : QString()));
    }
}

} // namespace

int RunChecksum(const ShellOptions& options, ShellOutput& output)
{
    const CheckEntry* check = FindCheck(options.check.toStdString());
    for (int n = 0; n < options.commands.size(); ++n) {
        const QString text = TrimBlanks(options.commands.at(n));
        const CommandBytes command = EncodeForSending(text);
        if (!command.ok()) {
            output.Error(QStringLiteral("Command %1: ").arg(n + 1) + command.refusal);
            return 2;
        }
        if (options.allChecks)
            PrintAll(text, command.bytes, output);
        else
            output.Line(QString::fromStdU32String(
                EncodeCheckedCommand(*check, text.toStdU32String()).display));
        if (!output.ok())
            return output.status();
    }
    return 0;
}
