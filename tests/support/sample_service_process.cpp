#include "tests/support/sample_service_process.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef MYZELK_SAMPLE_SERVICE_DIR
#error "MYZELK_SAMPLE_SERVICE_DIR must name tools/sample-service"
#endif

std::string SampleServiceDir()
{
    return MYZELK_SAMPLE_SERVICE_DIR;
}

SampleServiceProcess::SampleServiceProcess(const std::string& extraArgument)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return;
    std::string script = SampleServiceDir() + "/sample_service.py";
    // Debian's interpreter when it is there, else whatever python3 is on PATH.
    const char* python = access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
    m_pid = fork();
    if (m_pid == 0)
    {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        if (extraArgument.empty())
            execlp(python, python, script.c_str(), "--port", "0", static_cast<char*>(nullptr));
        else
            execlp(python, python, script.c_str(), "--port", "0", extraArgument.c_str(),
                   static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    if (m_pid < 0)
    {
        close(pipeFds[0]);
        return;
    }
    // The first line the service prints is its port.
    std::string line;
    char c;
    while (read(pipeFds[0], &c, 1) == 1 && c != '\n')
        line += c;
    close(pipeFds[0]);
    m_port = std::atoi(line.c_str());
}

SampleServiceProcess::~SampleServiceProcess()
{
    if (m_pid > 0)
    {
        kill(m_pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100 && waitpid(m_pid, &status, WNOHANG) == 0; ++i)
            usleep(20000);
        if (waitpid(m_pid, &status, WNOHANG) == 0)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
        }
    }
}

std::string SampleServiceProcess::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

int UnusedLoopbackPort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool FileExists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

ScratchDir::ScratchDir()
{
    char pattern[] = "/tmp/myzelk-net-XXXXXX";
    if (mkdtemp(pattern))
        m_path = pattern;
}

ScratchDir::~ScratchDir()
{
    if (!m_path.empty())
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
}

size_t ScratchDir::EntryCount() const
{
    size_t n = 0;
    for (auto it = std::filesystem::directory_iterator(m_path);
         it != std::filesystem::directory_iterator(); ++it)
        ++n;
    return n;
}
