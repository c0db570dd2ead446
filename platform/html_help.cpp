#include "platform/html_help.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <mutex>
#include <string>

namespace
{

std::mutex g_lock;
bool g_tried = false;
MyZELKHtmlHelpFunction g_entry = nullptr;
std::string g_folderOverride;

std::string ProgramFolder()
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer)
        return {};
    std::string path(buffer, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

MyZELKHtmlHelpFunction Bind()
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_tried)
        return g_entry;
    g_tried = true;
    const std::string folder = g_folderOverride.empty() ? ProgramFolder() : g_folderOverride;
    if (folder.empty())
        return nullptr;
    // Kept for the life of the process, as its windows may outlive any caller.
    void* module =
        ::dlopen((folder + kHelpViewerModuleName).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!module)
        return nullptr;
    g_entry = reinterpret_cast<MyZELKHtmlHelpFunction>(::dlsym(module, "MyZELKHtmlHelp"));
    return g_entry;
}

} // namespace

HWND HtmlHelpA(HWND caller, const char* file, unsigned command, DWORD_PTR data)
{
    MyZELKHtmlHelpFunction entry = Bind();
    return entry ? entry(caller, file, command, data) : nullptr;
}

void SetHtmlHelpFolderForTesting(const char* folder)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_folderOverride = folder ? folder : "";
    g_tried = false;
    g_entry = nullptr;
}
