#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Blocking TCP operations of the SMTP session, each bounded by a time limit.
namespace MUtils
{
using Clock = std::chrono::steady_clock;

enum class ReceiveStatus
{
    Data,    // at least one byte arrived
    Closed,  // the peer closed the connection
    Failed,  // socket error
    TimedOut // nothing arrived before the deadline
};

// Owns one TCP socket; closes it on destruction. Not copyable.
class Socket
{
public:
    Socket() = default;
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool isConnected() const { return m_connected; }
    void close();

    // Sends every byte (a short write is continued); false on error or time-out.
    bool sendAll(std::string_view bytes, std::chrono::milliseconds timeout);
    // One read of at most `capacity` bytes, waiting until `deadline`.
    ReceiveStatus receive(char* buffer, std::size_t capacity, std::size_t* received,
                          Clock::time_point deadline);

private:
    friend Socket ConnectToServer(const std::string&, std::uint16_t, std::chrono::milliseconds);
    int m_fd = -1;
    bool m_connected = false;
};

// Resolves `server` (host name or dotted address; IPv4 as the session speaks it)
// and connects to `port` of its first address within `timeout`. A name that does
// not resolve throws MailException("Get server infomation error"); a connection
// that fails or times out gives a socket whose isConnected() is false.
Socket ConnectToServer(const std::string& server, std::uint16_t port,
                       std::chrono::milliseconds timeout);

// The local host name for HELO; throws MailException("Get local host name error").
std::string LocalHostName();
} // namespace MUtils
