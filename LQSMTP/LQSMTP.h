#pragma once

#include "lqsmtp_export.h"

// The mail library's only way in: sends one plain-text mail (body in GB2312)
// to one receiver through one SMTP server on port 25.
class LQSMTP_API CLQSMTP
{
public:
    CLQSMTP();
    CLQSMTP& operator=(const CLQSMTP&);

    // Texts are UTF-8; subject, display name and body go out in GB2312.
    // Arguments: user name (empty = no AUTH LOGIN), password, mail server,
    // sender address, display name (sender's and receiver's), receiver
    // address, unused, subject, body, error text out (at least 32 bytes).
    // Returns 1 when the server accepted the mail and closed the session,
    // 0 with the failure text in the last argument otherwise.
    int SendMail(const char* userName, const char* password, const char* server,
                 const char* senderAddress, const char* displayName, const char* receiverAddress,
                 const char* unused, const char* subject, const char* body, char* errorText);
};
