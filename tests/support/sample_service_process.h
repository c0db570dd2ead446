// Starts the sample community service as a child process on loopback and
// stops it (by its own PID) when the object goes away.
#pragma once

#include <string>
#include <sys/types.h>

class SampleServiceProcess
{
public:
    explicit SampleServiceProcess(const std::string& extraArgument = {});
    ~SampleServiceProcess();
    SampleServiceProcess(const SampleServiceProcess&) = delete;
    SampleServiceProcess& operator=(const SampleServiceProcess&) = delete;

    bool Running() const { return m_port > 0; }
    int Port() const { return m_port; }
    // "http://127.0.0.1:PORT" followed by `path`.
    std::string Url(const std::string& path) const;

private:
    pid_t m_pid = -1;
    int m_port = 0;
};

// A loopback port on which nothing listens (bound once, then released).
int UnusedLoopbackPort();

// Folder of the service's script, its pages and data.
std::string SampleServiceDir();

std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);

// A fresh empty folder under /tmp, removed with everything in it at the end.
class ScratchDir
{
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // Names of the entries in the folder.
    size_t EntryCount() const;

private:
    std::string m_path;
};
