#include "platform/net/mhtml_writer.h"

#include "platform/net/content_type.h"
#include "platform/net/mime_codec.h"

#include <ctime>
#include <random>

namespace
{
// Header values come from the network: no line breaks may pass into them.
std::string HeaderSafe(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (char c : value)
        out += (c == '\r' || c == '\n' || c == '\0') ? ' ' : c;
    return out;
}

std::string EncodedWord(const std::string& text)
{
    bool plain = true;
    for (unsigned char c : text)
        if (c < 32 || c > 126)
            plain = false;
    if (plain)
        return text;
    std::string b64 = EncodeBase64Lines(text);
    std::string compact;
    for (char c : b64)
        if (c != '\r' && c != '\n')
            compact += c;
    return "=?utf-8?B?" + compact + "?=";
}

std::string RandomBoundary()
{
    std::random_device rd;
    std::mt19937_64 gen((static_cast<uint64_t>(rd()) << 32) ^ rd() ^
                        static_cast<uint64_t>(time(nullptr)));
    static const char hex[] = "0123456789abcdef";
    std::string b = "----MyZELK-Part-";
    for (int i = 0; i < 32; ++i)
        b += hex[gen() & 15];
    return b;
}

std::string HttpDate()
{
    char buf[64];
    time_t now = time(nullptr);
    tm utc{};
    gmtime_r(&now, &utc);
    strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S +0000", &utc);
    return buf;
}
} // namespace

std::string BuildMhtml(const std::vector<MhtmlPart>& parts, const std::string& subject)
{
    std::vector<std::string> bodies;
    std::vector<bool> quoted;
    bodies.reserve(parts.size());
    for (const auto& part : parts)
    {
        bool text = IsTextMimeType(ParseContentType(part.contentType).mimeType);
        quoted.push_back(text);
        bodies.push_back(text ? EncodeQuotedPrintable(part.bytes) : EncodeBase64Lines(part.bytes));
    }
    // A page could contain the delimiter text itself; pick one that no body holds.
    std::string boundary;
    for (bool clash = true; clash;)
    {
        boundary = RandomBoundary();
        clash = false;
        for (const auto& b : bodies)
            if (b.find(boundary) != std::string::npos)
                clash = true;
    }

    std::string out;
    size_t total = 512;
    for (const auto& b : bodies)
        total += b.size() + 256;
    out.reserve(total);
    out += "From: <Saved by MyZELK>\r\n";
    if (!parts.empty())
        out += "Snapshot-Content-Location: " + HeaderSafe(parts.front().location) + "\r\n";
    out += "Subject: " + EncodedWord(HeaderSafe(subject)) + "\r\n";
    out += "Date: " + HttpDate() + "\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: multipart/related;\r\n\ttype=\"text/html\";\r\n\tboundary=\"" + boundary +
           "\"\r\n\r\n";
    for (size_t i = 0; i < parts.size(); ++i)
    {
        out += "--" + boundary + "\r\n";
        std::string type =
            parts[i].contentType.empty() ? "application/octet-stream" : parts[i].contentType;
        out += "Content-Type: " + HeaderSafe(type) + "\r\n";
        out += std::string("Content-Transfer-Encoding: ") +
               (quoted[i] ? "quoted-printable" : "base64") + "\r\n";
        out += "Content-Location: " + HeaderSafe(parts[i].location) + "\r\n\r\n";
        out += bodies[i];
        // This line break belongs to the delimiter that follows, not to the body.
        out += "\r\n";
    }
    out += "--" + boundary + "--\r\n";
    return out;
}
