#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

namespace
{
std::atomic<IMessageBoxHost*> g_host{nullptr};
}

void SetMessageBoxHost(IMessageBoxHost* host)
{
    g_host.store(host);
}

int PlatformMessageBox(const std::string& text, const std::string& caption, unsigned type)
{
    if (IMessageBoxHost* host = g_host.load())
        return host->Show(text, caption, type);
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    return (type & 0xF) == MB_YESNO ? IDYES : IDOK;
}
