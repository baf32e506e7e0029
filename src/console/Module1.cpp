#include "console/Module1.h"

#include <QDir>
#include <QFile>

namespace
{

bool AppendTo(const QString& path, const QByteArray& line, QString* why)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(line) == line.size() &&
        file.flush())
        return true;
    if (why)
        *why = file.errorString();
    return false;
}

} // namespace

bool AppendCaptureLine(QString& path, QStringView text, QString* why)
{
    const QByteArray line = text.toLatin1() + "\r\n";
    if (!path.isEmpty())
        return AppendTo(path, line, why);
    path = ProgramCaptureFile();
    if (AppendTo(path, line, why))
        return true;
    // A file that fails in a writable directory (read-only, a directory in its place) is the
    // operator's to mend and is reported; only an unwritable directory moves the captures.
    if (TerminalFolder() != FallbackFolder())
        return false;
    path = FallbackCaptureFile();
    QDir().mkpath(FallbackFolder());
    return AppendTo(path, line, why);
}
