#include "console/Module1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

bool AppendCaptureLine(QString& path, QStringView text, QString* why)
{
    if (path.isEmpty())
        path =
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("SaveFile.TXT"));
    QFile file(path);
    const QByteArray line = text.toLatin1() + "\r\n";
    if (file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(line) == line.size() &&
        file.flush())
        return true;
    if (why)
        *why = file.errorString();
    return false;
}
