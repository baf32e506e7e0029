#include "console/Module1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryFile>

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

// Whether a file can be made in dir. Tried rather than looked up: only a real attempt is
// checked as the user the process acts for.
bool CanCreateIn(const QString& dir)
{
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral("SaveFile.XXXXXX")));
    return probe.open();
}

} // namespace

QString FallbackFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("accessterm"));
}

QString TerminalFolder()
{
    const QString program = QCoreApplication::applicationDirPath();
    return CanCreateIn(program) ? program : FallbackFolder();
}

QString ProgramCaptureFile()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("SaveFile.TXT"));
}

QString FallbackCaptureFile()
{
    return QDir(FallbackFolder()).filePath(QStringLiteral("SaveFile.TXT"));
}

QString CommandListFile()
{
    return QDir(TerminalFolder()).filePath(QStringLiteral("Commands.TXT"));
}

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
