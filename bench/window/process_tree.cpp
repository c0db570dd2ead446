#include "bench/window/process_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace
{

// Parent of each process now on the system.
std::map<pid_t, pid_t> Parents()
{
    std::map<pid_t, pid_t> parents;
    DIR* proc = opendir("/proc");
    if (!proc)
        return parents;
    while (dirent* entry = readdir(proc))
    {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != 0 || pid <= 0)
            continue;
        std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        // The name in parentheses may hold spaces: the fields follow its end.
        const size_t close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(line.substr(close + 1));
        std::string state;
        long parent = 0;
        fields >> state >> parent;
        parents[static_cast<pid_t>(pid)] = static_cast<pid_t>(parent);
    }
    closedir(proc);
    return parents;
}

// The "Name:   value kB" field of a /proc file, 0 when absent.
long KbField(const std::string& file, const char* name)
{
    std::ifstream in(file);
    std::string line;
    const size_t length = std::strlen(name);
    while (std::getline(in, line))
        if (line.compare(0, length, name) == 0 && line.size() > length && line[length] == ':')
            return std::atol(line.c_str() + length + 1);
    return 0;
}

// Running or stopped; a zombie (its memory is gone) does not count.
bool IsLive(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

} // namespace

CStartedProgram::CStartedProgram(const std::string& program,
                                 const std::vector<std::string>& arguments,
                                 const std::vector<std::string>& environment,
                                 const std::string& folder, const std::string& log)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& variable : environment)
        envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);

    m_pid = fork();
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
    if (m_pid == 0)
    {
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0 || chdir(folder.c_str()) != 0)
            _exit(126);
        close(out);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
}

CStartedProgram::~CStartedProgram()
{
    End();
}

bool CStartedProgram::Running()
{
    if (m_reaped)
        return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid)
        m_reaped = true;
    return !m_reaped;
}

std::vector<pid_t> CStartedProgram::Tree() const
{
    std::vector<pid_t> tree;
    if (m_reaped)
        return tree;
    tree.push_back(m_pid);
    const std::map<pid_t, pid_t> parents = Parents();
    // Breadth first: a child's children come after it.
    for (size_t i = 0; i < tree.size(); ++i)
        for (const auto& [pid, parent] : parents)
            if (parent == tree[i])
                tree.push_back(pid);
    return tree;
}

TreeMemory CStartedProgram::Memory() const
{
    TreeMemory memory;
    for (pid_t pid : Tree())
    {
        const std::string base = "/proc/" + std::to_string(pid);
        const long rss = KbField(base + "/status", "VmRSS");
        if (pid == m_pid)
            memory.ownRss = rss;
        memory.rss += rss;
        memory.hwm += KbField(base + "/status", "VmHWM");
        memory.pss += KbField(base + "/smaps_rollup", "Pss");
        ++memory.processes;
    }
    return memory;
}

void CStartedProgram::End(int graceMs)
{
    if (m_reaped)
        return;
    // Taken first: once the program is gone its helpers are re-parented.
    const std::vector<pid_t> tree = Tree();
    kill(m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    const auto anyAlive = [&tree]
    {
        for (pid_t pid : tree)
            if (IsLive(pid))
                return true;
        return false;
    };
    while (std::chrono::steady_clock::now() < deadline)
    {
        Running();
        if (!anyAlive())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (pid_t pid : tree)
        if (IsLive(pid))
            kill(pid, SIGKILL);
    int status = 0;
    if (!m_reaped)
        waitpid(m_pid, &status, 0);
    m_reaped = true;
    // Helpers re-parented to init are reaped there; wait until they are gone.
    while (anyAlive())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}
