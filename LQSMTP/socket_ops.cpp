#include "LQSMTP/socket_ops.h"

#include "LQSMTP/exceptions.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace MUtils
{
namespace
{
int MillisecondsUntil(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return left > 0x7fffffff ? 0x7fffffff : static_cast<int>(left);
}

// Waits for `events` on fd; false on time-out or poll failure.
bool WaitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;)
    {
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, MillisecondsUntil(deadline));
        if (rc > 0)
            return true;
        if (rc == 0)
            return false;
        if (errno != EINTR)
            return false;
    }
}
} // namespace

Socket::~Socket()
{
    close();
}

Socket::Socket(Socket&& other) noexcept : m_fd(other.m_fd), m_connected(other.m_connected)
{
    other.m_fd = -1;
    other.m_connected = false;
}

Socket& Socket::operator=(Socket&& other) noexcept
{
    if (this != &other)
    {
        close();
        m_fd = other.m_fd;
        m_connected = other.m_connected;
        other.m_fd = -1;
        other.m_connected = false;
    }
    return *this;
}

void Socket::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_connected = false;
}

bool Socket::sendAll(std::string_view bytes, std::chrono::milliseconds timeout)
{
    if (m_fd < 0)
        return false;
    const auto deadline = Clock::now() + timeout;
    std::size_t done = 0;
    while (done < bytes.size())
    {
        // MSG_NOSIGNAL: a peer that went away must give an error, not kill the process.
        const ssize_t n =
            ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
        {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        {
            if (!WaitFor(m_fd, POLLOUT, deadline))
                return false;
            continue;
        }
        return false;
    }
    return true;
}

ReceiveStatus Socket::receive(char* buffer, std::size_t capacity, std::size_t* received,
                              Clock::time_point deadline)
{
    *received = 0;
    if (m_fd < 0)
        return ReceiveStatus::Failed;
    for (;;)
    {
        const ssize_t n = ::recv(m_fd, buffer, capacity, MSG_DONTWAIT);
        if (n > 0)
        {
            *received = static_cast<std::size_t>(n);
            return ReceiveStatus::Data;
        }
        if (n == 0)
            return ReceiveStatus::Closed;
        if (errno == EINTR)
            continue;
        // A reset after the peer's close is just the end of the conversation.
        if (errno == ECONNRESET)
            return ReceiveStatus::Closed;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return ReceiveStatus::Failed;
        if (Clock::now() >= deadline)
            return ReceiveStatus::TimedOut;
        if (!WaitFor(m_fd, POLLIN, deadline) && Clock::now() >= deadline)
            return ReceiveStatus::TimedOut;
    }
}

Socket ConnectToServer(const std::string& server, std::uint16_t port,
                       std::chrono::milliseconds timeout)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (server.empty() || ::getaddrinfo(server.c_str(), nullptr, &hints, &found) != 0 ||
        found == nullptr)
    {
        if (found != nullptr)
            ::freeaddrinfo(found);
        throw SMailer::MailException("Get server infomation error");
    }
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    ::freeaddrinfo(found);
    address.sin_port = htons(port);

    Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
    if (!s.isOpen())
        return s;
    const auto deadline = Clock::now() + timeout;
    int rc = ::connect(s.m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (rc != 0 && errno == EINPROGRESS)
    {
        if (!WaitFor(s.m_fd, POLLOUT, deadline))
            return s;
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(s.m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        rc = error == 0 ? 0 : -1;
    }
    s.m_connected = rc == 0;
    return s;
}

std::string LocalHostName()
{
    char name[256] = {};
    if (::gethostname(name, 255) != 0)
        throw SMailer::MailException("Get local host name error");
    name[255] = '\0';
    return name;
}
} // namespace MUtils
