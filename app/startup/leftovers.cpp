#include "app/startup/leftovers.h"

#include "base/app_paths.h"
#include "base/debug_log.h"
#include "tree/tree_file_lock.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string_view>

namespace
{
// Whether a companion folder's process is gone; a folder of a running one
// (or one that cannot be told) stays.
bool BelongsToEndedProcess(std::string_view name)
{
    const std::string_view prefix = kCompanionFolderPrefix;
    if (name.substr(0, prefix.size()) != prefix || name.size() == prefix.size() ||
        name.size() > prefix.size() + 9)
        return false;
    long pid = 0;
    for (const char c : name.substr(prefix.size()))
    {
        if (c < '0' || c > '9')
            return false;
        pid = pid * 10 + (c - '0');
    }
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}
} // namespace

int RemoveLeftovers(const CAppPaths& paths)
{
    int removed = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(paths.m_szTempDir, ec))
    {
        const std::string name = entry.path().filename().string();
        if (!entry.is_directory(ec) || !BelongsToEndedProcess(name))
            continue;
        std::error_code removeError;
        if (std::filesystem::remove_all(entry.path(), removeError) > 0 && !removeError)
            ++removed;
    }
    {
        const CTreeFileLock lock(paths.m_szOfflineTree);
        removed += RemoveTreeLeftovers(paths.m_szOfflineTree);
    }
    if (removed > 0)
        WriteDebugLog(
            ("Removed " + std::to_string(removed) + " leftovers of ended processes").c_str());
    return removed;
}
