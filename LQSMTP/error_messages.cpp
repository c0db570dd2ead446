#include "LQSMTP/error_messages.h"

namespace SMailer
{
const ErrorMessages& ErrorMessages::instance()
{
    static const ErrorMessages table;
    return table;
}

ErrorMessages::ErrorMessages()
    : m_send{{kStepHelo, "Send HELO cmd error"},
             {kStepAuth, "Send AUTH cmd error"},
             {kStepUserName, "Send user name error"},
             {kStepPassword, "Send user password error"},
             {kStepMailFrom, "Send MAIL FROM cmd error"},
             {kStepRcptTo, "Send RCPT TO cmd error"},
             {kStepData, "Send DATA cmd error"},
             {kStepHeader, "Send mail header error"},
             {kStepContent, "Send mail content error"},
             {kStepEnd, "Send mail end error"},
             {kStepQuit, "Send QUIT cmd error"}},
      m_reply{{"220", "Server connect error"},        {"250", "General server error"},
              {"334", "Server authentication error"}, {"235", "Password error"},
              {"354", "Server not ready for data"},   {"221", "Server didn't terminate session"}},
      m_unknown("General server error")
{
}

const std::string& ErrorMessages::sendMessage(int step) const
{
    const auto it = m_send.find(step);
    return it != m_send.end() ? it->second : m_unknown;
}

const std::string& ErrorMessages::replyMessage(const std::string& expectedCode) const
{
    const auto it = m_reply.find(expectedCode);
    return it != m_reply.end() ? it->second : m_unknown;
}
} // namespace SMailer
