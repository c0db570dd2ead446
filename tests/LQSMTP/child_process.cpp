#include "tests/LQSMTP/child_process.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

bool ChildProcess::start(const std::vector<std::string>& argv, const std::string& logFile)
{
    if (argv.empty() || ::access(argv[0].c_str(), X_OK) != 0)
    {
        m_error = "cannot run " + (argv.empty() ? std::string("(nothing)") : argv[0]);
        return false;
    }
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (log < 0 || null < 0)
    {
        m_error = "cannot open " + logFile;
        if (log >= 0)
            ::close(log);
        if (null >= 0)
            ::close(null);
        return false;
    }
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid == 0)
    {
        // Only async-signal-safe calls here. A test that dies must not leave its
        // server behind: the kernel sends SIGTERM when this process goes away.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(126);
        ::dup2(null, 0);
        ::dup2(log, 1);
        ::dup2(log, 2);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    const int forkError = errno;
    ::close(log);
    ::close(null);
    if (m_pid < 0)
    {
        m_error = std::string("fork: ") + std::strerror(forkError);
        return false;
    }
    return true;
}

bool ChildProcess::running()
{
    if (m_pid <= 0)
        return false;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
    {
        m_pid = -1;
        return false;
    }
    return true;
}

void ChildProcess::stop()
{
    if (!running())
        return;
    ::kill(m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline)
    {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
        {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

bool WaitForPort(const std::string& address, std::uint16_t port, ChildProcess& child,
                 std::chrono::milliseconds timeout)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline)
    {
        if (!child.running())
            return false;
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (ok)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool RunForOutput(const std::vector<std::string>& argv, std::string* output)
{
    output->clear();
    if (argv.empty() || ::access(argv[0].c_str(), X_OK) != 0)
        return false;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        ::dup2(out[1], 1);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    if (pid < 0)
    {
        ::close(out[0]);
        return false;
    }
    char buffer[4096];
    for (;;)
    {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n > 0)
            output->append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(out[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR)
    {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
