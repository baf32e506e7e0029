// Preloaded into a program, stands in for tcsetattr: while ACCESSTERM_TCSETATTR_LOG names a file,
// each request's frame is appended to it as a line ("7E1", from c_cflag's CSIZE, PARENB, PARODD,
// CMSPAR and CSTOPB) and reported done, since a pseudo-terminal refuses parity and 7 data bits.
// The settings asked for are kept and read back by tcgetattr meanwhile, as from a real line that
// took them; a parity letter in ACCESSTERM_TCSETATTR_REFUSE makes a request with it fail with
// EINVAL instead, recorded with a leading "!". Otherwise both calls go on to the system's own.
#include <dlfcn.h>
#include <termios.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

constexpr int kDescriptors = 1024;
// A preloaded library has no owner to keep its state in: what each descriptor was set to.
termios kept[kDescriptors];
bool held[kDescriptors];

const char* Recording()
{
    const char* log = std::getenv("ACCESSTERM_TCSETATTR_LOG");
    return log && *log ? log : nullptr;
}

template <typename Call> Call System(const char* name)
{
    return reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int tcsetattr(int fd, int actions, const termios* tio)
{
    const char* log = Recording();
    if (!log || fd < 0 || fd >= kDescriptors)
        return System<int (*)(int, int, const termios*)>("tcsetattr")(fd, actions, tio);
    const tcflag_t c = tio->c_cflag;
    const int bits = (c & CSIZE) == CS5 ? 5 : (c & CSIZE) == CS6 ? 6 : (c & CSIZE) == CS7 ? 7 : 8;
    char parity = 'N';
    if (c & PARENB)
        parity = (c & CMSPAR) ? ((c & PARODD) ? 'M' : 'S') : ((c & PARODD) ? 'O' : 'E');
    const char* refuse = std::getenv("ACCESSTERM_TCSETATTR_REFUSE");
    const bool refused = refuse && std::strchr(refuse, parity);
    if (FILE* file = std::fopen(log, "a")) {
        std::fprintf(file, "%s%d%c%d\n", refused ? "!" : "", bits, parity, (c & CSTOPB) ? 2 : 1);
        std::fclose(file);
    }
    if (refused) {
        errno = EINVAL;
        return -1;
    }
    kept[fd] = *tio;
    held[fd] = true;
    return 0;
}

extern "C" int tcgetattr(int fd, termios* tio)
{
    if (!Recording() || fd < 0 || fd >= kDescriptors || !held[fd])
        return System<int (*)(int, termios*)>("tcgetattr")(fd, tio);
    *tio = kept[fd];
    return 0;
}
