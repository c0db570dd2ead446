// A program started for a measurement, with the processes it starts in turn
// (WebEngine's helpers): their memory, read from /proc, and their end.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Memory of a group of processes, in kB. Resident sizes count shared pages
// once per process; the proportional size shares them out.
struct TreeMemory
{
    long rss = 0;    // VmRSS, summed
    long hwm = 0;    // VmHWM (peak resident), summed
    long pss = 0;    // Pss, summed
    long ownRss = 0; // VmRSS of the program itself
    int processes = 0;
};

class CStartedProgram
{
public:
    // Starts the program with `environment` as its whole environment in the
    // working folder `folder`, its output appended to `log`. Throws
    // std::runtime_error on failure.
    CStartedProgram(const std::string& program, const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment, const std::string& folder,
                    const std::string& log);
    // Ends the program and every process under it.
    ~CStartedProgram();
    CStartedProgram(const CStartedProgram&) = delete;
    CStartedProgram& operator=(const CStartedProgram&) = delete;

    pid_t Pid() const { return m_pid; }
    // False once the program has exited (it is reaped then).
    bool Running();
    // The program and its descendants as they are now.
    std::vector<pid_t> Tree() const;
    TreeMemory Memory() const;
    // SIGTERM to the program, then SIGKILL to whatever of its tree is left
    // after `graceMs`; waits until all of them are gone.
    void End(int graceMs = 3000);

private:
    pid_t m_pid = -1;
    bool m_reaped = false;
};
