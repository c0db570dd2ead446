#include "base/debug_log.h"

#include "platform/message_box.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

namespace
{

std::mutex g_logLock;
std::FILE* g_log = nullptr;
// NOLINTNEXTLINE(cert-err58-cpp): a short literal; only running out of memory could throw
std::string g_logPath = "debug.txt";

constexpr size_t kEntrySize = 1024;

} // namespace

void SetDebugLogPathForTesting(const char* path)
{
    SetDebugLogPath(path);
}

void SetDebugLogPath(const char* path)
{
    std::lock_guard<std::mutex> lock(g_logLock);
    if (g_log)
    {
        std::fclose(g_log);
        g_log = nullptr;
    }
    g_logPath = path ? path : "debug.txt";
}

int WriteDebugLog(const char* message)
{
    std::lock_guard<std::mutex> lock(g_logLock);
    if (!g_log)
    {
        g_log = std::fopen(g_logPath.c_str(), "a+");
        if (!g_log)
            return -1;
    }
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "(%4.4d-%2.2d-%2.2d %2.2d:%2.2d:%2.2d)", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);

    // A message too long for the entry is cut so that it, its line feed and
    // the time stamp fill the entry buffer at most; the cut never splits a
    // UTF-8 character.
    std::string text = message ? message : "(null)";
    const size_t room = kEntrySize - 1 - (std::char_traits<char>::length(stamp) + 1);
    if (text.size() > room)
    {
        size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    // Text mode on the original platform turned each LF into CR LF.
    std::string entry;
    entry.reserve(text.size() + 40);
    for (char c : text)
    {
        if (c == '\n')
            entry += '\r';
        entry += c;
    }
    entry += "\r\n";
    entry += stamp;
    entry += "\r\n";
    std::fwrite(entry.data(), 1, entry.size(), g_log);
    std::fflush(g_log);
    return 0;
}

const char* DescribeComError(const _com_error& error)
{
    thread_local char buffer[kEntrySize];
    const char* description = error.DescriptionText();
    std::snprintf(buffer, sizeof buffer, "error code : 0x%8.8x\nerror description : %s",
                  static_cast<unsigned>(error.Error()), description ? description : "(null)");
    return buffer;
}

int ShowErrorBox(const char* format, ...)
{
    char buffer[2048] = {};
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return PlatformMessageBox(buffer, "error", MB_OK | MB_ICONERROR);
}
