#include "reply/http_answer.h"

#include "platform/text.h"

#include <zlib.h>

#include <cctype>
#include <cstdlib>
#include <limits>
#include <optional>
#include <utility>

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
    std::string contentEncoding;
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
        else if (EqualsIgnoreCaseAscii(name, "Content-Encoding"))
            out.contentEncoding = ToLowerAscii(value);
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
        // Hex digits only (strtoul would take a sign and wrap), few enough
        // that the size cannot overflow; extensions after ';' are ignored.
        const std::string_view line = data.substr(pos, lineEnd - pos);
        size_t digits = 0;
        while (digits < line.size() && std::isxdigit(static_cast<unsigned char>(line[digits])))
            ++digits;
        if (digits == 0 || digits > 15 ||
            (digits < line.size() && line[digits] != ';' && line[digits] != ' ' &&
             line[digits] != '\t'))
            return AnswerState::Malformed;
        const size_t size = std::stoull(std::string(line.substr(0, digits)), nullptr, 16);
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
        if (data.size() - pos < size + 2)
            return AnswerState::Incomplete;
        body.append(data.substr(pos, size));
        if (data.substr(pos + size, 2) != "\r\n")
            return AnswerState::Malformed;
        pos += size + 2;
    }
}

enum class Inflated
{
    Done,
    Damaged,
    TooLarge,
};

// windowBits as zlib takes them: 15 + 32 reads a gzip or zlib stream, -15
// raw deflate.
Inflated Inflate(std::string_view in, int windowBits, size_t maxBytes, std::string& out)
{
    z_stream stream{};
    if (inflateInit2(&stream, windowBits) != Z_OK)
        return Inflated::Damaged;
    out.clear();
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    stream.avail_in = static_cast<uInt>(in.size());
    char buffer[16384];
    int rc = Z_OK;
    while (rc == Z_OK)
    {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        rc = inflate(&stream, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END)
            break;
        out.append(buffer, sizeof buffer - stream.avail_out);
        if (out.size() > maxBytes)
        {
            inflateEnd(&stream);
            return Inflated::TooLarge;
        }
        // Concatenated gzip members, as some servers send, read on.
        if (rc == Z_STREAM_END && stream.avail_in > 0 && windowBits > 15)
            rc = inflateReset(&stream);
    }
    inflateEnd(&stream);
    return rc == Z_STREAM_END ? Inflated::Done : Inflated::Damaged;
}

} // namespace

bool DecodeAnswerBody(CHttpAnswer& answer, std::string* error, size_t maxBytes)
{
    const std::string& coding = answer.contentEncoding;
    if (coding.empty() || coding == "identity")
        return true;
    if (coding != "gzip" && coding != "x-gzip" && coding != "deflate")
    {
        *error = "the answer is in a coding the program cannot read (" + coding + ")";
        return false;
    }
    if (answer.body.size() > std::numeric_limits<uInt>::max())
    {
        *error = "the answer is too large";
        return false;
    }
    std::string decoded;
    Inflated result = Inflate(answer.body, 15 + 32, maxBytes, decoded);
    if (result == Inflated::Damaged && coding == "deflate")
        result = Inflate(answer.body, -15, maxBytes, decoded);
    if (result != Inflated::Done)
    {
        *error = result == Inflated::TooLarge
                     ? "the answer unpacks to more than " + std::to_string(maxBytes) + " bytes"
                     : "the answer's " + coding + " data is damaged";
        return false;
    }
    answer.body = std::move(decoded);
    answer.contentEncoding.clear();
    return true;
}

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
        answer.contentEncoding = head.contentEncoding;
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
