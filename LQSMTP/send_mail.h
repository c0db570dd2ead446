#pragma once

#include "LQSMTP/mail_sender.h"

#include <ctime>
#include <functional>

namespace SMailer
{
// The entry point's arguments (UTF-8, or code page 936 bytes from an older caller);
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

// Composes and sends one plain-text mail in the narrowest of gb2312, gbk and
// utf-8 that holds the body, the subject and the display name (a plain Chinese
// mail: gb2312, as the interface has always sent). Returns 1 once the server
// accepted the mail, whatever its answer to QUIT; 0 after a failure, with a
// MailException's text copied to errorText (when not null). A sender or
// receiver address that IsSendableAddress refuses fails before any connection,
// with "Send MAIL FROM cmd error" or "Send RCPT TO cmd error".
// Socket start-up failures escape as MUtils::WinSockException.
int SendOneMail(const MailArguments& args, const SessionOptions& options, char* errorText,
                std::function<std::time_t()> clock = nullptr);
} // namespace SMailer
