#include "platform/shell_execute.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

namespace
{

bool Spawn(const std::string& program, const std::vector<std::string>& arguments, bool search)
{
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc =
        search ? ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ)
               : ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0)
        return false;
    std::thread(
        [pid]
        {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR)
            {
            }
        })
        .detach();
    return true;
}

} // namespace

bool ShellOpen(const std::string& target)
{
    return Spawn("xdg-open", {target}, true);
}

bool StartProgram(const std::string& program, const std::vector<std::string>& arguments)
{
    return Spawn(program, arguments, false);
}
