#include "reply/http_answer.h"

#include "platform/text.h"

#include <cstdlib>
#include <optional>

namespace
{

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

struct Head
{
    long status = 0;
    std::optional<size_t> contentLength;
    bool chunked = false;
};

bool ParseHead(std::string_view head, Head& out)
{
    size_t lineEnd = head.find("\r\n");
    const std::string_view statusLine = head.substr(0, lineEnd);
    if (statusLine.substr(0, 5) != "HTTP/")
        return false;
    const size_t blank = statusLine.find(' ');
    if (blank == std::string_view::npos || statusLine.size() < blank + 4)
        return false;
    out.status = std::strtol(std::string(statusLine.substr(blank + 1, 3)).c_str(), nullptr, 10);
    if (out.status < 100 || out.status > 999)
        return false;
    while (lineEnd != std::string_view::npos)
    {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string_view line = head.substr(start, lineEnd - start);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view name = Trim(line.substr(0, colon));
        const std::string_view value = Trim(line.substr(colon + 1));
        if (EqualsIgnoreCaseAscii(name, "Content-Length"))
        {
            char* end = nullptr;
            const std::string text(value);
            const unsigned long long length = std::strtoull(text.c_str(), &end, 10);
            if (text.empty() || *end)
                return false;
            out.contentLength = static_cast<size_t>(length);
        }
        else if (EqualsIgnoreCaseAscii(name, "Transfer-Encoding"))
            out.chunked = ToLowerAscii(value).find("chunked") != std::string::npos;
    }
    return true;
}

AnswerState DecodeChunked(std::string_view data, std::string& body)
{
    body.clear();
    size_t pos = 0;
    for (;;)
    {
        const size_t lineEnd = data.find("\r\n", pos);
        if (lineEnd == std::string_view::npos)
            return AnswerState::Incomplete;
        const std::string sizeText(data.substr(pos, lineEnd - pos));
        char* end = nullptr;
        const unsigned long size = std::strtoul(sizeText.c_str(), &end, 16);
        if (end == sizeText.c_str() || (*end && *end != ';' && *end != ' '))
            return AnswerState::Malformed;
        pos = lineEnd + 2;
        if (size == 0)
        {
            // Trailer fields, then an empty line.
            for (;;)
            {
                const size_t trailerEnd = data.find("\r\n", pos);
                if (trailerEnd == std::string_view::npos)
                    return AnswerState::Incomplete;
                if (trailerEnd == pos)
                    return AnswerState::Complete;
                pos = trailerEnd + 2;
            }
        }
        if (data.size() < pos + size + 2)
            return AnswerState::Incomplete;
        body.append(data.substr(pos, size));
        if (data.substr(pos + size, 2) != "\r\n")
            return AnswerState::Malformed;
        pos += size + 2;
    }
}

} // namespace

AnswerState ParseHttpAnswer(std::string_view raw, bool closed, CHttpAnswer& answer)
{
    const AnswerState short_ = closed ? AnswerState::Malformed : AnswerState::Incomplete;
    size_t start = 0;
    for (;;)
    {
        const size_t headEnd = raw.find("\r\n\r\n", start);
        if (headEnd == std::string_view::npos)
            return short_;
        Head head;
        if (!ParseHead(raw.substr(start, headEnd - start), head))
            return AnswerState::Malformed;
        const std::string_view data = raw.substr(headEnd + 4);
        if (head.status >= 100 && head.status < 200)
        {
            start = headEnd + 4;
            continue;
        }
        answer.status = head.status;
        if (head.status == 204 || head.status == 304)
        {
            answer.body.clear();
            return AnswerState::Complete;
        }
        if (head.chunked)
        {
            const AnswerState state = DecodeChunked(data, answer.body);
            return state == AnswerState::Incomplete ? short_ : state;
        }
        if (head.contentLength)
        {
            if (data.size() < *head.contentLength)
                return short_;
            answer.body.assign(data.substr(0, *head.contentLength));
            return AnswerState::Complete;
        }
        if (!closed)
            return AnswerState::Incomplete;
        answer.body.assign(data);
        return AnswerState::Complete;
    }
}
