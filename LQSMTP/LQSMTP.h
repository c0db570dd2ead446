#pragma once

#include "LQSMTP/lqsmtp_export.h"

// The mail library's only way in: sends one plain-text mail to one receiver
// through one SMTP server on port 25.
class LQSMTP_API CLQSMTP
{
public:
    // Receives one trace line of a session ("[INFO]SEND:" + command, or
    // "[INFO]RECV(" + expected code + "):" + reply, each ending in a line feed).
    using TraceFunction = void (*)(const char* line, void* context);

    CLQSMTP();
    CLQSMTP& operator=(const CLQSMTP&);

    // Texts are UTF-8 (bytes that are not UTF-8 are taken as code page 936).
    // The mail goes out in gb2312 when subject, display name and body fit it,
    // else in gbk or utf-8; the subject and names as RFC 2047 encoded words
    // when they are not ASCII.
    // Arguments: user name (empty = no AUTH LOGIN), password, mail server,
    // sender address, display name (sender's and receiver's), receiver
    // address, unused, subject, body, error text out (at least 32 bytes).
    // Returns 1 when the server accepted the mail (whatever it then answers to
    // QUIT), 0 with the failure text in the last argument otherwise. An address
    // holding a space, quote, bracket, comma, control or non-ASCII character
    // is refused before anything is sent ("Send MAIL FROM cmd error" for the
    // sender, "Send RCPT TO cmd error" for the receiver).
    int SendMail(const char* userName, const char* password, const char* server,
                 const char* senderAddress, const char* displayName, const char* receiverAddress,
                 const char* unused, const char* subject, const char* body, char* errorText);

    // The session trace is off unless a caller turns it on: every later call
    // of SendMail, in any thread, gives its lines to `function` (null: off
    // again). The AUTH LOGIN user name and password lines read
    // "[INFO]SEND:********" + CR LF. TraceToStandardOutput is a ready
    // function that prints each line to standard output.
    static void SetTrace(TraceFunction function, void* context);
    static void TraceToStandardOutput(const char* line, void* context);
};
