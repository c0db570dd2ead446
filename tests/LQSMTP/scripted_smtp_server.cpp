#include "tests/LQSMTP/scripted_smtp_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
const std::map<std::string, std::string> kDefaultReplies = {
    {"HELO", "250 scripted hello\r\n"},
    {"EHLO", "250-scripted hello\r\n250-AUTH LOGIN PLAIN\r\n250 8BITMIME\r\n"},
    {"AUTH", "334 VXNlcm5hbWU6\r\n"},
    {"USER", "334 UGFzc3dvcmQ6\r\n"},
    {"PASS", "235 2.7.0 Authentication successful\r\n"},
    {"MAIL", "250 2.1.0 Ok\r\n"},
    {"RCPT", "250 2.1.5 Ok\r\n"},
    {"DATA", "354 End data with <CR><LF>.<CR><LF>\r\n"},
    {"END", "250 2.0.0 Ok: queued\r\n"},
    {"QUIT", "221 2.0.0 Bye\r\n"},
    {"OTHER", "500 5.5.2 Error: command not recognized\r\n"},
};

std::string Upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

int BindListener(const std::string& address, std::uint16_t port, std::uint16_t* bound)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0)
    {
        ::close(fd);
        return -1;
    }
    socklen_t length = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    *bound = ntohs(a.sin_port);
    return fd;
}
} // namespace

ScriptedSmtpServer::ScriptedSmtpServer(Script script, const std::string& address,
                                       std::uint16_t port)
    : m_script(std::move(script))
{
    m_listenFd = BindListener(address, port, &m_port);
    if (m_listenFd >= 0 && !m_script.deafAfter.empty())
    {
        // A small window that accepted sockets inherit, so a client's sends fill up quickly.
        const int size = 16 * 1024;
        ::setsockopt(m_listenFd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    if (m_listenFd >= 0)
        m_thread = std::thread([this] { run(); });
}

ScriptedSmtpServer::~ScriptedSmtpServer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
}

std::string ScriptedSmtpServer::transcript()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait_for(lock, std::chrono::seconds(5), [this] { return m_firstSessionOver; });
    return m_transcript;
}

void ScriptedSmtpServer::run()
{
    while (!m_stop)
    {
        pollfd p{m_listenFd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const int session = m_sessions++;
        serve(fd);
        ::close(fd);
        if (session == 0)
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_firstSessionOver = true;
            m_done.notify_all();
        }
    }
}

std::string ScriptedSmtpServer::replyFor(const std::string& kind) const
{
    const auto it = m_script.replies.find(kind);
    if (it != m_script.replies.end())
        return it->second;
    return kDefaultReplies.at(kind);
}

void ScriptedSmtpServer::sendReply(int fd, const std::string& reply) const
{
    if (m_script.chunk == 0)
    {
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        return;
    }
    for (std::size_t i = 0; i < reply.size(); i += m_script.chunk)
    {
        ::send(fd, reply.data() + i, std::min(m_script.chunk, reply.size() - i), MSG_NOSIGNAL);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
}

void ScriptedSmtpServer::serve(int fd)
{
    enum class Expect
    {
        Command,
        User,
        Password,
        Data
    } expect = Expect::Command;
    bool greeted = false;
    bool silent = m_script.silent;
    if (!silent)
        sendReply(fd, m_script.greeting);
    if (m_script.closeAfterGreeting)
    {
        // Let the greeting leave before the close.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return;
    }

    std::string pending;
    char buffer[4096];
    while (!m_stop)
    {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        pending.append(buffer, static_cast<std::size_t>(n));
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_firstSessionOver)
                m_transcript.append(buffer, static_cast<std::size_t>(n));
        }
        if (silent)
        {
            pending.clear();
            continue;
        }
        for (;;)
        {
            std::string kind;
            if (expect == Expect::Data)
            {
                const std::size_t end = pending.find("\r\n.\r\n");
                if (end == std::string::npos)
                    break;
                pending.erase(0, end + 5);
                kind = "END";
                expect = Expect::Command;
            }
            else
            {
                const std::size_t lf = pending.find("\r\n");
                if (lf == std::string::npos)
                    break;
                const std::string line = pending.substr(0, lf);
                pending.erase(0, lf + 2);
                if (expect == Expect::User)
                    kind = "USER";
                else if (expect == Expect::Password)
                    kind = "PASS";
                else
                {
                    const std::string verb = Upper(line.substr(0, 4));
                    kind = kDefaultReplies.count(verb) && verb != "USER" && verb != "PASS" &&
                                   verb != "END"
                               ? verb
                               : "OTHER";
                }
            }
            std::string reply = replyFor(kind);
            if (kind == "EHLO" || kind == "HELO")
                greeted = greeted || kind == "EHLO";
            if (kind == "AUTH" && m_script.authNeedsEhlo && !greeted)
                reply = "503 5.5.1 Error: send EHLO first\r\n";
            expect = Expect::Command;
            if (kind == "AUTH" && reply.rfind("334", 0) == 0)
                expect = Expect::User;
            else if (kind == "USER" && reply.rfind("334", 0) == 0)
                expect = Expect::Password;
            else if (kind == "DATA" && reply.rfind("354", 0) == 0)
                expect = Expect::Data;
            if (kind == m_script.stallOn)
            {
                silent = true;
                break;
            }
            if (kind == m_script.slowOn)
                std::this_thread::sleep_for(m_script.slowBy);
            sendReply(fd, reply);
            if (kind == "QUIT" || kind == m_script.closeAfter)
                return;
            if (kind == m_script.deafAfter)
            {
                while (!m_stop)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                return;
            }
        }
    }
}

std::string FreeLoopbackAddressForPort25(int first, int last)
{
    for (int host = first; host <= last; ++host)
    {
        const std::string address = "127.0.0." + std::to_string(host);
        std::uint16_t bound = 0;
        const int fd = BindListener(address, 25, &bound);
        if (fd >= 0)
        {
            ::close(fd);
            return address;
        }
    }
    return std::string();
}

std::uint16_t UnusedLoopbackPort()
{
    std::uint16_t bound = 0;
    const int fd = BindListener("127.0.0.1", 0, &bound);
    if (fd >= 0)
        ::close(fd);
    return bound;
}

std::string UnresolvableHostName()
{
    return std::string(64, 'x') + ".myzelk.invalid";
}

std::unique_ptr<ScriptedSmtpServer> ScriptedServerOnPort25(const ScriptedSmtpServer::Script& script,
                                                           std::string* address)
{
    for (int host = 2; host <= 20; ++host)
    {
        *address = "127.0.0." + std::to_string(host);
        auto server = std::make_unique<ScriptedSmtpServer>(script, *address, 25);
        if (server->listening())
            return server;
    }
    address->clear();
    return nullptr;
}
