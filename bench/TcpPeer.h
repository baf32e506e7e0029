#pragma once

// A loopback TCP peer, and the writes a peer or a far device makes.
#include "StallWatch.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

// A loopback TCP peer on its own thread: accepts one connection, then runs the script given.
class TcpPeer
{
public:
    TcpPeer()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 1);
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        port = ntohs(addr.sin_port);
        m_thread = std::thread([this] {
            m_conn = ::accept(m_listen, nullptr, nullptr);
            accepted = true;
        });
    }
    ~TcpPeer()
    {
        if (m_thread.joinable())
            m_thread.join();
        if (m_conn >= 0)
            ::close(m_conn);
        ::close(m_listen);
    }
    void run(std::function<void(int fd)> script)
    {
        join();
        m_thread = std::thread([this, script] { script(m_conn); });
    }
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    int port = 0;
    std::atomic<bool> accepted{false};

private:
    int m_listen = -1;
    int m_conn = -1;
    std::thread m_thread;
};

inline bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            // A full pseudo-terminal (opened non-blocking): wait until the terminal reads.
            pollfd ready{fd, POLLOUT, 0};
            ::poll(&ready, 1, 1000);
            continue;
        }
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Sends `count` replies `periodMs` apart, recording when each one's first byte went out.
inline std::vector<Clock::time_point> SendReplies(int fd, int count, int periodMs)
{
    std::vector<Clock::time_point> sent;
    const std::string reply = "\x02"
                              "AB\x03\r\n";
    auto next = Clock::now();
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_until(next);
        sent.push_back(Clock::now());
        WriteAll(fd, reply.data(), reply.size());
        next += std::chrono::milliseconds(periodMs);
    }
    return sent;
}
