#include "terminal/GivenFileRead.h"

#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <memory>
#include <unistd.h>

namespace
{

constexpr qsizetype kPieceBytes = qsizetype(64) << 10;

// Standard input as it comes: a piece each time it has some, until it ends.
void ReadStandardInput(QObject* context, const std::function<void(const TextFileRead&)>& then)
{
    auto* notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, context);
    auto read = std::make_shared<TextFileRead>();
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, read, then] {
        const qsizetype had = read->content.size();
        read->content.resize(had + kPieceBytes);
        const ssize_t got = ::read(STDIN_FILENO, read->content.data() + had, kPieceBytes);
        read->content.resize(had + qMax<ssize_t>(got, 0));
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (got < 0)
            read->failure = qt_error_string(errno);
        else if (read->content.size() > kTextFileAtMost)
            read->failure =
                QStringLiteral("more than the %1 MiB read at most").arg(kTextFileAtMost >> 20);
        else if (got > 0)
            return;
        notifier->setEnabled(false);
        notifier->deleteLater();
        if (!read->failure.isEmpty()) {
            read->content.clear();
            read->failure = QStringLiteral("standard input: ") + read->failure;
        }
        then(*read);
    });
}

} // namespace

void ReadGivenFile(const QString& path, QObject* context,
                   const std::function<void(const TextFileRead&)>& then)
{
    if (path == QLatin1String("-")) {
        ReadStandardInput(context, then);
        return;
    }
    TextFileRead read = ReadTextFile(path);
    if (read.failure.isEmpty() && read.content.isEmpty() && !QFileInfo::exists(path))
        read.failure = qt_error_string(ENOENT);
    if (!read.failure.isEmpty())
        read.failure = path + QStringLiteral(": ") + read.failure;
    then(read);
}
