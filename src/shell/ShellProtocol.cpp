#include "shell/ShellProtocol.h"

#include "shell/ShellOutput.h"
#include "terminal/BuiltinProtocols.h"

int RunProtocolList(ShellOutput& output)
{
    for (const QString& name : BuiltinProtocols::Names()) {
        output.Line(QStringLiteral("%1  %2").arg(name, -11).arg(BuiltinProtocols::Title(name)));
        if (!output.ok())
            break;
    }
    return output.status();
}
