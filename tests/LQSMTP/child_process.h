#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

// A server process started by a test: its own PID, output to a log file,
// and always stopped by that PID.
class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False (with the reason in error()) when the program cannot be started.
    bool start(const std::vector<std::string>& argv, const std::string& logFile);
    bool running();
    // SIGTERM, up to 10 s of grace, then SIGKILL; reaps the process.
    void stop();
    pid_t pid() const { return m_pid; }
    const std::string& error() const { return m_error; }

private:
    pid_t m_pid = -1;
    std::string m_error;
};

// Connects to address:port until it answers, the child dies or time runs out.
bool WaitForPort(const std::string& address, std::uint16_t port, ChildProcess& child,
                 std::chrono::milliseconds timeout);

// Runs a program to its end and takes its standard output; false when it
// cannot be started or does not exit with status 0.
bool RunForOutput(const std::vector<std::string>& argv, std::string* output);

// Whole file as bytes ("" when missing).
std::string ReadFileBytes(const std::string& path);
