#include "shell/ShellOutput.h"

#include "shell/ShellText.h"
#include "terminal/TrafficLines.h"

#include "notation/RenderReceivedData.h"

#include <QTime>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace
{

// Writes all of bytes to fd; the errno of the failure otherwise.
int WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(size_t(written));
        } else if (written < 0 && errno == EAGAIN) {
            // A stream someone made non-blocking: wait until it takes more.
            pollfd ready = {fd, POLLOUT, 0};
            ::poll(&ready, 1, -1);
        } else if (written < 0 && errno != EINTR) {
            return errno;
        } else if (written == 0) {
            return EIO;
        }
    }
    return 0;
}

std::string_view View(const QByteArray& bytes)
{
    return {bytes.constData(), size_t(bytes.size())};
}

} // namespace

ShellOutput::ShellOutput(QObject* parent) : RunOutput(parent)
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // open takes the lowest free descriptor: this one.
        ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (fd == STDOUT_FILENO)
            m_stdoutClosed = true;
    }
    std::signal(SIGPIPE, SIG_IGN);
}

bool ShellOutput::Line(const QString& line)
{
    return out(WithControlsAsTokens(View((line + QLatin1Char('\n')).toUtf8())));
}

void ShellOutput::Error(const QString& line)
{
    WriteAll(STDERR_FILENO, WithControlsAsTokens(View((line + QLatin1Char('\n')).toUtf8())));
}

bool ShellOutput::Command(const QString& shown, const QByteArray&)
{
    return Line(kOutputMarker + shown);
}

QString FromSender(const QString& sender)
{
    // Blanks are tokens in a reply: the two end it.
    return sender.isEmpty() ? QString() : QStringLiteral("  (from ") + sender + QLatin1Char(')');
}

bool ShellOutput::Reply(const QString& prefix, QByteArrayView reply, bool hex,
                        const QString& suffix)
{
    std::string text = WithControlsAsTokens(View(prefix.toUtf8()));
    for (qsizetype at = 0; at < reply.size() || at == 0; at += kRenderSliceBytes) {
        const QByteArrayView slice = reply.sliced(at, qMin(kRenderSliceBytes, reply.size() - at));
        if (hex) {
            if (at > 0)
                text += ' ';
            text += View(slice.toByteArray().toHex(' ').toUpper());
        } else {
            AppendForTerminal(RenderReceivedData({slice.data(), size_t(slice.size())}), text);
        }
        if (at + slice.size() == reply.size())
            text += View((suffix + QLatin1Char('\n')).toUtf8());
        if (!out(text))
            return false;
        text.clear();
    }
    return true;
}

bool ShellOutput::out(std::string_view bytes)
{
    if (m_status != 0)
        return false;
    const int error = m_stdoutClosed ? EBADF : WriteAll(STDOUT_FILENO, bytes);
    if (error == 0)
        return true;
    m_status = error == EPIPE ? 128 + SIGPIPE : 2;
    if (error != EPIPE)
        Error(QStringLiteral("Standard output not written: ") +
              QString::fromLocal8Bit(std::strerror(error)));
    emit Broken(m_status);
    return false;
}

QString ShellOutput::LocalTime()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz  "));
}
