#pragma once

#include <cstdint>

namespace MUtils
{
// Version words as the socket layer reports them: low byte major, high byte minor.
constexpr std::uint16_t kSocketVersion20 = 0x0002;

// Starts the socket layer for the current call, asking for version 2.0.
// Throws WinSockException ("WSAStartup error", "Winsock version not support").
class WinSockInitializer
{
public:
    WinSockInitializer();
    std::uint16_t version() const { return m_version; }

private:
    std::uint16_t m_version = 0;
};

// Stops the socket layer; the entry point calls it once at the end of every call.
void CleanupSockets();
} // namespace MUtils
