#include "LQSMTP/mime_encoding.h"

#include "LQSMTP/base64.h"

#include <algorithm>

namespace SMailer
{
namespace
{
constexpr std::size_t kMaxEncodedWord = 75;
constexpr std::size_t kMaxQuotedPrintableLine = 76;
// Room left on a From or To line for the address after a quoted name.
constexpr std::size_t kMaxQuotedName = 700;

bool IsAscii(std::string_view bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Bytes of the character that starts at `at`, so an encoded word never cuts one.
std::size_t CharacterLength(std::string_view bytes, std::size_t at, bool utf8)
{
    const unsigned char c = static_cast<unsigned char>(bytes[at]);
    std::size_t length = 1;
    if (utf8)
        length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    else if (c >= 0x81)
        length = 2; // lead byte of a GB2312 / GBK pair
    return std::min(length, bytes.size() - at);
}

char HexDigit(unsigned value)
{
    return "0123456789ABCDEF"[value & 15];
}
} // namespace

std::string NormalizeLineEnds(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const char c = text[i];
        if (c == '\r')
        {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        }
        else if (c == '\n')
            out += "\r\n";
        else
            out += c;
    }
    return out;
}

std::size_t LongestLine(std::string_view text)
{
    std::size_t longest = 0;
    std::size_t start = 0;
    for (;;)
    {
        const std::size_t end = text.find("\r\n", start);
        const std::size_t length = (end == std::string_view::npos ? text.size() : end) - start;
        longest = std::max(longest, length);
        if (end == std::string_view::npos)
            return longest;
        start = end + 2;
    }
}

std::string QuotedPrintable(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 3);
    std::size_t start = 0;
    for (;;)
    {
        const std::size_t end = text.find("\r\n", start);
        const std::string_view line =
            text.substr(start, (end == std::string_view::npos ? text.size() : end) - start);
        std::size_t column = 0;
        for (std::size_t i = 0; i < line.size(); ++i)
        {
            const unsigned char c = static_cast<unsigned char>(line[i]);
            const bool last = i + 1 == line.size();
            // Trailing white space would be lost in transport, so it is encoded too.
            const bool literal =
                (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last);
            const std::size_t width = literal ? 1 : 3;
            // Leave room for the "=" of a soft break unless this is the line's end.
            if (column + width > kMaxQuotedPrintableLine - (last ? 0 : 1))
            {
                out += "=\r\n";
                column = 0;
            }
            if (literal)
                out += static_cast<char>(c);
            else
            {
                out += '=';
                out += HexDigit(c >> 4);
                out += HexDigit(c);
            }
            column += width;
        }
        if (end == std::string_view::npos)
            return out;
        out += "\r\n";
        start = end + 2;
    }
}

std::string EncodedWords(std::string_view bytes, std::string_view charset)
{
    const std::string prefix = "=?" + std::string(charset) + "?B?";
    const std::size_t room = kMaxEncodedWord - prefix.size() - 2;
    const std::size_t maxBytes = room / 4 * 3;
    const bool utf8 = charset == "utf-8";
    std::string out;
    std::size_t at = 0;
    while (at < bytes.size())
    {
        std::size_t end = at;
        while (end < bytes.size())
        {
            const std::size_t next = end + CharacterLength(bytes, end, utf8);
            if (next - at > maxBytes)
                break;
            end = next;
        }
        if (!out.empty())
            out += "\r\n ";
        out += prefix + MUtils::Base64Encode(bytes.substr(at, end - at)) + "?=";
        at = end;
    }
    return out;
}

std::string HeaderText(std::string_view value, std::string_view charset, std::size_t nameLength)
{
    if (IsAscii(value) && nameLength + value.size() <= kMaxLineLength)
        return std::string(value);
    return EncodedWords(value, charset);
}

std::string DisplayNamePhrase(std::string_view name, std::string_view charset)
{
    if (name.empty())
        return std::string();
    if (IsAscii(name))
    {
        std::string quoted = "\"";
        for (const char c : name)
        {
            if (c == '"' || c == '\\')
                quoted += '\\';
            quoted += c;
        }
        quoted += "\" ";
        if (quoted.size() <= kMaxQuotedName)
            return quoted;
    }
    return EncodedWords(name, charset) + " ";
}
} // namespace SMailer
