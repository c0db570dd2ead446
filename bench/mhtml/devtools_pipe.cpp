#include "bench/mhtml/devtools_pipe.h"

#include "platform/text.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
} // namespace

std::string JsonStringField(const std::string& json, const std::string& name)
{
    std::string key = "\"" + name + "\":\"";
    size_t at = json.find(key);
    if (at == std::string::npos)
        return {};
    std::string out;
    for (size_t i = at + key.size(); i < json.size(); ++i)
    {
        char c = json[i];
        if (c == '"')
            break;
        if (c != '\\' || i + 1 >= json.size())
        {
            out += c;
            continue;
        }
        char e = json[++i];
        switch (e)
        {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'u':
        {
            unsigned cp = std::stoul(json.substr(i + 1, 4), nullptr, 16);
            i += 4;
            if (cp >= 0xD800 && cp < 0xDC00 && json.compare(i + 1, 2, "\\u") == 0)
            {
                unsigned low = std::stoul(json.substr(i + 3, 4), nullptr, 16);
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 6;
            }
            AppendUtf8(out, cp);
            break;
        }
        default:
            out += e;
            break;
        }
    }
    return out;
}

DevToolsBrowser::~DevToolsBrowser()
{
    Close();
}

bool DevToolsBrowser::Launch(const std::string& chromium, const std::string& profileDir)
{
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        return false;
    m_pid = fork();
    if (m_pid == 0)
    {
        // The browser reads commands on fd 3 and writes answers on fd 4.
        int r = dup(in[0]), w = dup(out[1]);
        dup2(r, 3);
        dup2(w, 4);
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, STDOUT_FILENO);
        dup2(devnull, STDERR_FILENO);
        for (int fd = 5; fd < 1024; ++fd)
            close(fd);
        std::string profile = "--user-data-dir=" + profileDir;
        execl(chromium.c_str(), chromium.c_str(), "--headless", "--no-sandbox", "--disable-gpu",
              "--disable-quic", "--no-first-run", "--disable-background-networking",
              "--disable-component-update", "--disable-sync", profile.c_str(),
              "--remote-debugging-pipe", "about:blank", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    m_toBrowser = in[1];
    m_fromBrowser = out[0];
    return m_pid > 0;
}

bool DevToolsBrowser::ReadMessage(std::string* message, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;)
    {
        size_t end = m_pending.find('\0');
        if (end != std::string::npos)
        {
            *message = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            return true;
        }
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now())
                                        .count());
        if (left <= 0)
            return false;
        pollfd p{m_fromBrowser, POLLIN, 0};
        if (poll(&p, 1, left) <= 0)
            return false;
        char buf[65536];
        ssize_t n = read(m_fromBrowser, buf, sizeof buf);
        if (n <= 0)
            return false;
        m_pending.append(buf, n);
    }
}

bool DevToolsBrowser::Call(const std::string& method, const std::string& params,
                           std::string* result, int timeoutMs, const std::string& waitEvent,
                           bool* eventSeen)
{
    int id = m_nextId++;
    std::string msg =
        "{\"id\":" + std::to_string(id) + ",\"method\":\"" + method + "\",\"params\":" + params;
    if (!m_session.empty() && method.rfind("Target.", 0) != 0)
        msg += ",\"sessionId\":\"" + m_session + "\"";
    msg += "}";
    msg.push_back('\0');
    if (write(m_toBrowser, msg.data(), msg.size()) != static_cast<ssize_t>(msg.size()))
        return false;
    const std::string idText = "\"id\":" + std::to_string(id) + ",";
    for (;;)
    {
        std::string answer;
        if (!ReadMessage(&answer, timeoutMs))
            return false;
        if (!waitEvent.empty() && eventSeen &&
            answer.find("\"method\":\"" + waitEvent + "\"") != std::string::npos)
            *eventSeen = true;
        if (answer.rfind("{" + idText, 0) == 0 || answer.find("{" + idText) == 0)
        {
            if (result)
                *result = answer;
            return answer.find("\"error\":") == std::string::npos;
        }
    }
}

bool DevToolsBrowser::OpenTab()
{
    std::string answer;
    if (!Call("Target.createTarget", "{\"url\":\"about:blank\"}", &answer, 20000))
        return false;
    std::string target = JsonStringField(answer, "targetId");
    if (!Call("Target.attachToTarget", "{\"targetId\":\"" + target + "\",\"flatten\":true}",
              &answer, 20000))
        return false;
    m_session = JsonStringField(answer, "sessionId");
    return !m_session.empty() && Call("Page.enable", "{}", nullptr, 20000);
}

bool DevToolsBrowser::Snapshot(const std::string& url, std::string* mhtml, int timeoutMs)
{
    bool loaded = false;
    if (!Call("Page.navigate", "{\"url\":\"" + url + "\"}", nullptr, timeoutMs,
              "Page.loadEventFired", &loaded))
        return false;
    while (!loaded)
    {
        std::string event;
        if (!ReadMessage(&event, timeoutMs))
            return false;
        loaded = event.find("\"method\":\"Page.loadEventFired\"") != std::string::npos;
    }
    std::string answer;
    if (!Call("Page.captureSnapshot", "{\"format\":\"mhtml\"}", &answer, timeoutMs))
        return false;
    *mhtml = JsonStringField(answer, "data");
    return !mhtml->empty();
}

void DevToolsBrowser::Close()
{
    if (m_toBrowser >= 0)
    {
        std::string msg = "{\"id\":999999,\"method\":\"Browser.close\",\"params\":{}}";
        msg.push_back('\0');
        (void)!write(m_toBrowser, msg.data(), msg.size());
        close(m_toBrowser);
        m_toBrowser = -1;
    }
    if (m_pid > 0)
    {
        int status;
        for (int i = 0; i < 100 && waitpid(m_pid, &status, WNOHANG) == 0; ++i)
            usleep(20000);
        if (waitpid(m_pid, &status, WNOHANG) == 0)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
        }
        m_pid = -1;
    }
    if (m_fromBrowser >= 0)
    {
        close(m_fromBrowser);
        m_fromBrowser = -1;
    }
}
