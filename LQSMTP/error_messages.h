#pragma once

#include <map>
#include <string>

namespace SMailer
{
// Steps of the session, numbered as the send-step messages are.
enum SendStep
{
    kStepHelo = 0,
    kStepAuth = 1,
    kStepUserName = 2,
    kStepPassword = 3,
    kStepMailFrom = 4,
    kStepRcptTo = 5,
    kStepData = 6,
    kStepHeader = 7,
    kStepContent = 8,
    kStepEnd = 9,
    kStepQuit = 10
};

// Process-wide table of failure texts, created on first use.
class ErrorMessages
{
public:
    static const ErrorMessages& instance();

    // Text for a failed send of the given step.
    const std::string& sendMessage(int step) const;
    // Text for a missing or different reply where `expectedCode` was due.
    const std::string& replyMessage(const std::string& expectedCode) const;

private:
    ErrorMessages();
    std::map<int, std::string> m_send;
    std::map<std::string, std::string> m_reply;
    std::string m_unknown;
};
} // namespace SMailer
