#include "terminal/TerminalFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace
{

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

QString ProtocolFolder()
{
    return QDir(TerminalFolder()).filePath(QStringLiteral("Protocols"));
}
