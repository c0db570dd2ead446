#pragma once

#include "mail_sender.h"

#include <ctime>
#include <functional>

namespace SMailer
{
// The entry point's arguments; a null text counts as empty.
struct MailArguments
{
    const char* userName;
    const char* password;
    const char* server;
    const char* senderAddress;
    const char* displayName;
    const char* receiverAddress;
    const char* unused;
    const char* subject;
    const char* body;
};

// Composes and sends one GB2312 plain-text mail. Returns 1 on success; 0 after a
// failure, with a MailException's text copied to errorText (when not null).
// Socket start-up failures escape as MUtils::WinSockException.
int SendOneMail(const MailArguments& args, const SessionOptions& options, char* errorText,
                std::function<std::time_t()> clock = nullptr);
} // namespace SMailer
