#include "console/Module1.h"

#include "notation/RenderReceivedData.h"
#include "terminal/TrafficLines.h"

#include <QDir>
#include <QFile>

namespace
{

bool Write(QFile& file, std::string_view text)
{
    return file.write(text.data(), qint64(text.size())) == qint64(text.size());
}

bool AppendTo(const QString& path, std::span<const QByteArray> replies, QString* why)
{
    QFile file(path);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Append);
    for (const QByteArray& reply : replies) {
        const std::string_view bytes(reply.data(), size_t(reply.size()));
        for (size_t at = 0; written && at < bytes.size(); at += size_t(kRenderSliceBytes))
            written = Write(file, RenderReceivedData(bytes.substr(at, size_t(kRenderSliceBytes))));
        written = written && Write(file, "\r\n");
    }
    if (written && file.flush())
        return true;
    if (why)
        *why = file.errorString();
    return false;
}

} // namespace

bool AppendCaptureReply(QString& path, QByteArrayView reply, QString* why)
{
    const QByteArray whole = QByteArray::fromRawData(reply.data(), reply.size());
    return AppendCaptureReplies(path, std::span(&whole, 1), why);
}

bool AppendCaptureReplies(QString& path, std::span<const QByteArray> replies, QString* why)
{
    if (!path.isEmpty())
        return AppendTo(path, replies, why);
    path = ProgramCaptureFile();
    if (AppendTo(path, replies, why))
        return true;
    // A file that fails in a writable directory (read-only, a directory in its place) is the
    // operator's to mend and is reported; only an unwritable directory moves the captures.
    if (TerminalFolder() != FallbackFolder())
        return false;
    path = FallbackCaptureFile();
    QDir().mkpath(FallbackFolder());
    return AppendTo(path, replies, why);
}
