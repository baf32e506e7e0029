#include "shell/ShellProtocol.h"

#include "protocol/ProtocolDescription.h"
#include "shell/ShellOutput.h"
#include "terminal/ProtocolCatalogue.h"
#include "terminal/TerminalFolders.h"

int RunProtocolList(ShellOutput& output)
{
    ProtocolCatalogue catalogue(ProtocolFolder());
    for (const ProtocolEntry& entry : catalogue.Entries()) {
        const QString what = !entry.ok() ? QStringLiteral("refused: ") + entry.refusal
                             : entry.origin == QLatin1String("built in")
                                 ? entry.title + QStringLiteral(", built in")
                                 : entry.title + QStringLiteral(", from ") + entry.origin;
        output.Line(QStringLiteral("%1  %2").arg(entry.name, -11).arg(what));
        if (!output.ok())
            break;
    }
    return output.status();
}

int RunProtocolShow(const QString& nameOrPath, ShellOutput& output)
{
    const ProtocolEntry entry = ProtocolCatalogue(ProtocolFolder()).Find(nameOrPath);
    if (!entry.text.isEmpty())
        output.Line(entry.text.endsWith(QLatin1Char('\n')) ? entry.text.chopped(1) : entry.text);
    if (!entry.ok()) {
        output.Error(entry.refusal);
        return 2;
    }
    return output.status();
}

int RunProtocolCheck(const QString& path, ShellOutput& output)
{
    const ProtocolEntry entry = ProtocolCatalogue::ReadFile(path, path);
    if (!entry.ok()) {
        output.Error(entry.refusal);
        return 2;
    }
    output.Line(QStringLiteral("%1: %2, %3 messages")
                    .arg(entry.name, entry.title)
                    .arg(entry.description->messages.size()));
    return output.status();
}
