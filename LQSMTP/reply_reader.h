#pragma once

#include "LQSMTP/socket_ops.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace SMailer
{
// Length of the first complete reply at the start of `bytes` (through the LF of
// its last line), or 0 while more bytes are needed. A line whose fourth
// character is "-" continues the reply; any other line ends it.
std::size_t CompleteReplyLength(std::string_view bytes);

enum class ReplyStatus
{
    Complete, // a whole reply was read
    Closed,   // the peer closed; the reply holds what arrived before (maybe nothing)
    Failed    // socket error, time-out, or a reply too long to be sane
};

// Reads whole replies from a socket. Bytes that arrive after a reply's last line
// stay buffered for the next reply; lines of one reply never leak into the next.
class ReplyReader
{
public:
    static constexpr std::size_t kMaxReplyBytes = std::size_t{64} * 1024;

    explicit ReplyReader(MUtils::Socket& socket) : m_socket(socket) {}

    ReplyStatus read(std::string* reply, MUtils::Clock::time_point deadline);

private:
    MUtils::Socket& m_socket;
    std::string m_pending;
};
} // namespace SMailer
