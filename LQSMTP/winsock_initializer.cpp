#include "LQSMTP/winsock_initializer.h"

#include "LQSMTP/exceptions.h"

namespace MUtils
{
namespace
{
// POSIX sockets need no start-up; the layer grants the version it is asked for.
int StartSocketLayer(std::uint16_t requested, std::uint16_t* granted)
{
    *granted = requested;
    return 0;
}
} // namespace

WinSockInitializer::WinSockInitializer()
{
    if (StartSocketLayer(kSocketVersion20, &m_version) != 0)
        throw WinSockException("WSAStartup error");
    if (m_version != kSocketVersion20)
    {
        CleanupSockets();
        throw WinSockException("Winsock version not support");
    }
}

void CleanupSockets()
{
    // Nothing to release: every socket is owned and closed by its Socket object.
}
} // namespace MUtils
