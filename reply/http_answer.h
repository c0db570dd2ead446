// Reading an HTTP/1.x answer off a raw connection: tells when the bytes
// received so far hold the whole answer, and gives its status and body.
#pragma once

#include <string>
#include <string_view>

enum class AnswerState
{
    Incomplete, // more bytes are needed
    Complete,
    Malformed, // not HTTP, or the peer closed before the answer was whole
};

struct CHttpAnswer
{
    long status = 0;
    std::string body; // as sent: chunked framing undone, compression kept
};

// `closed`: the peer has closed, no more bytes will come. Interim (1xx)
// answers are skipped. Without a length or chunked framing, the body runs
// to the close.
AnswerState ParseHttpAnswer(std::string_view raw, bool closed, CHttpAnswer& answer);
