#include "terminal/StopSignals.h"

#include <cerrno>
#include <csignal>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction g_previous[std::size(kStopSignals)]; // put back when the object goes

// The write end is read by the handler, so it must be a plain integer set before it is installed.
volatile sig_atomic_t g_writeEnd = -1;
int g_readEnd = -1;
volatile sig_atomic_t g_stops = 0; // signals come since the object was made

void OnStopSignal(int number)
{
    // A second stop finds the program still running: it may be held where no event is heard (a
    // write to a pipe nobody reads), so this one ends it as if no handler were there.
    g_stops = g_stops + 1;
    if (g_stops > 1) {
        ::signal(number, SIG_DFL);
        ::raise(number);
        return;
    }
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // A full pipe means a stop is already on its way; nothing more to do.
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &byte, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0)
        return;
    g_writeEnd = ends[0];
    g_readEnd = ends[1];
    g_stops = 0;
    m_notifier = new QSocketNotifier(g_readEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readSignal);
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kStopSignals); ++i) {
        // A stop the program was started to ignore (nohup, a background job) stays ignored.
        if (::sigaction(kStopSignals[i], nullptr, &g_previous[i]) == 0 &&
            g_previous[i].sa_handler != SIG_IGN)
            ::sigaction(kStopSignals[i], &action, nullptr);
    }
}

StopSignals::~StopSignals()
{
    if (m_notifier == nullptr)
        return;
    for (size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    ::close(g_writeEnd);
    ::close(g_readEnd);
    g_writeEnd = -1;
    g_readEnd = -1;
}

void StopSignals::readSignal()
{
    unsigned char byte = 0;
    while (::read(g_readEnd, &byte, 1) == 1)
        emit stopRequested(byte);
}
