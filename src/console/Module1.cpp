#include "console/Module1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

void AppendCaptureLine(QString& path, const QString& text)
{
    if (path.isEmpty())
        path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("SaveFile.TXT"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(text.toLatin1() + "\r\n");
}
