#include "LQSMTP/reply_reader.h"

namespace SMailer
{
std::size_t CompleteReplyLength(std::string_view bytes)
{
    std::size_t start = 0;
    while (start < bytes.size())
    {
        const std::size_t lf = bytes.find('\n', start);
        if (lf == std::string_view::npos)
            return 0;
        std::string_view line = bytes.substr(start, lf - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() < 4 || line[3] != '-')
            return lf + 1;
        start = lf + 1;
    }
    return 0;
}

ReplyStatus ReplyReader::read(std::string* reply, MUtils::Clock::time_point deadline)
{
    reply->clear();
    char buffer[4096];
    for (;;)
    {
        const std::size_t length = CompleteReplyLength(m_pending);
        if (length > 0)
        {
            reply->assign(m_pending, 0, length);
            m_pending.erase(0, length);
            return ReplyStatus::Complete;
        }
        if (m_pending.size() > kMaxReplyBytes)
            return ReplyStatus::Failed;
        std::size_t received = 0;
        switch (m_socket.receive(buffer, sizeof buffer, &received, deadline))
        {
        case MUtils::ReceiveStatus::Data:
            m_pending.append(buffer, received);
            break;
        case MUtils::ReceiveStatus::Closed:
            reply->swap(m_pending);
            m_pending.clear();
            return ReplyStatus::Closed;
        case MUtils::ReceiveStatus::Failed:
        case MUtils::ReceiveStatus::TimedOut:
            return ReplyStatus::Failed;
        }
    }
}
} // namespace SMailer
