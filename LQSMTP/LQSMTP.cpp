#include "LQSMTP.h"

#include "send_mail.h"

CLQSMTP::CLQSMTP() = default;

CLQSMTP& CLQSMTP::operator=(const CLQSMTP&)
{
    return *this;
}

int CLQSMTP::SendMail(const char* userName, const char* password, const char* server,
                      const char* senderAddress, const char* displayName,
                      const char* receiverAddress, const char* unused, const char* subject,
                      const char* body, char* errorText)
{
    SMailer::MailArguments args{userName,        password, server,  senderAddress, displayName,
                                receiverAddress, unused,   subject, body};
    return SMailer::SendOneMail(args, SMailer::SessionOptions{}, errorText);
}
