// Headless Chromium driven over --remote-debugging-pipe (NUL-separated JSON
// on file descriptors 3 and 4), enough to snapshot a page as MHTML.
#pragma once

#include <string>
#include <sys/types.h>

class DevToolsBrowser
{
public:
    DevToolsBrowser() = default;
    ~DevToolsBrowser();
    DevToolsBrowser(const DevToolsBrowser&) = delete;
    DevToolsBrowser& operator=(const DevToolsBrowser&) = delete;

    bool Launch(const std::string& chromium, const std::string& profileDir);
    // Opens a tab and attaches to it; false on any protocol failure.
    bool OpenTab();
    // Navigates the tab, waits for its load event, returns the MHTML snapshot.
    bool Snapshot(const std::string& url, std::string* mhtml, int timeoutMs = 20000);
    void Close();

private:
    // Sends a command, waits for the answer with the same id; events seen on
    // the way are checked for `waitEvent` (when given).
    bool Call(const std::string& method, const std::string& params, std::string* result,
              int timeoutMs, const std::string& waitEvent = {}, bool* eventSeen = nullptr);
    bool ReadMessage(std::string* message, int timeoutMs);

    pid_t m_pid = -1;
    int m_toBrowser = -1;
    int m_fromBrowser = -1;
    int m_nextId = 1;
    std::string m_session;
    std::string m_pending;
};

// Value of a JSON string field (first occurrence), unescaped; empty when absent.
std::string JsonStringField(const std::string& json, const std::string& name);
