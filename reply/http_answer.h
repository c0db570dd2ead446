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
    std::string body;            // as sent: chunked framing undone, compression kept
    std::string contentEncoding; // the Content-Encoding header, lower case ("" without)
};

// `closed`: the peer has closed, no more bytes will come. Interim (1xx)
// answers are skipped. Without a length or chunked framing, the body runs
// to the close.
AnswerState ParseHttpAnswer(std::string_view raw, bool closed, CHttpAnswer& answer);

// Undoes the answer's content coding in place: gzip, deflate (zlib or raw,
// as servers send both under that name) or x-gzip. False, with the reason
// and the body unchanged, for a coding that is not known or data that does
// not decode; an answer without coding is left as it is.
bool DecodeAnswerBody(CHttpAnswer& answer, std::string* error, size_t maxBytes);
