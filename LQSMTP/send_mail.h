#pragma once

#include "mail_sender.h"

#include <ctime>
#include <functional>

namespace SMailer
{
// The entry point's arguments (UTF-8, or GB2312 bytes from an older caller);
// a null text counts as empty.
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

// Composes and sends one plain-text mail: subject, display name and body are
// converted to GB2312 where they are UTF-8 that GB2312 can carry. Returns 1 on success; 0 after a
// failure, with a MailException's text copied to errorText (when not null).
// Socket start-up failures escape as MUtils::WinSockException.
int SendOneMail(const MailArguments& args, const SessionOptions& options, char* errorText,
                std::function<std::time_t()> clock = nullptr);
} // namespace SMailer
