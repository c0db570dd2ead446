#include "tests/support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

LoopbackListener::LoopbackListener(int backlog)
{
    m_fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_fd >= 0 && bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        listen(m_fd, backlog) == 0 &&
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        m_port = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener()
{
    if (m_fd >= 0)
        close(m_fd);
}

void LoopbackListener::Shutdown()
{
    shutdown(m_fd, SHUT_RDWR);
}

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : m_handler(std::move(handler))
{
    if (m_listener.Port() != 0)
        m_acceptor = std::thread([this] { Accept(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    m_listener.Shutdown();
    if (m_acceptor.joinable())
        m_acceptor.join();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (int fd : m_connections)
            shutdown(fd, SHUT_RDWR);
    }
    for (auto& t : m_handlers)
        t.join();
    for (int fd : m_connections)
        close(fd);
}

bool LoopbackHttpServer::SendAnswer(int fd, int status, const std::string& type,
                                    const std::string& body)
{
    const std::string out = "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: " + type +
                            "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                            body;
    return send(fd, out.data(), out.size(), MSG_NOSIGNAL) >= 0;
}

void LoopbackHttpServer::Accept()
{
    for (;;)
    {
        const int fd = accept(m_listener.Fd(), nullptr, nullptr);
        if (fd < 0)
            return;
        std::lock_guard<std::mutex> lock(m_lock);
        m_connections.push_back(fd);
        m_handlers.emplace_back([this, fd] { Serve(fd); });
    }
}

void LoopbackHttpServer::Serve(int fd)
{
    std::string buffer;
    char chunk[4096];
    for (;;)
    {
        size_t end;
        while ((end = buffer.find("\r\n\r\n")) == std::string::npos)
        {
            const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return;
            buffer.append(chunk, static_cast<size_t>(n));
        }
        const std::string head = buffer.substr(0, end);
        buffer.erase(0, end + 4);
        const size_t pathStart = head.find(' ') + 1;
        if (!m_handler(fd, head.substr(pathStart, head.find(' ', pathStart) - pathStart)))
            return;
    }
}
