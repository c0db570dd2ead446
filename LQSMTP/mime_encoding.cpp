#include "LQSMTP/mime_encoding.h"

#include "LQSMTP/base64.h"

#include <algorithm>

namespace SMailer
{
namespace
{
constexpr std::size_t kMaxEncodedWord = 75;
// RFC 2047: a header line that holds an encoded word has at most 76 characters.
constexpr std::size_t kMaxEncodedWordLine = 76;
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

std::string EncodedWords(std::string_view bytes, std::string_view charset, std::size_t used)
{
    const std::string prefix = "=?" + std::string(charset) + "?B?";
    const bool utf8 = charset == "utf-8";
    std::string out;
    std::size_t column = used;
    std::size_t at = 0;
    while (at < bytes.size())
    {
        // Bytes that fit both the word limit and what is left of the line.
        const std::size_t width =
            std::min(kMaxEncodedWord, kMaxEncodedWordLine - std::min(column, kMaxEncodedWordLine));
        const std::size_t room = width > prefix.size() + 2 ? width - prefix.size() - 2 : 0;
        const std::size_t maxBytes = room / 4 * 3;
        std::size_t end = at;
        while (end < bytes.size())
        {
            const std::size_t next = end + CharacterLength(bytes, end, utf8);
            if (next - at > maxBytes)
                break;
            end = next;
        }
        if (end == at)
        {
            // Not one character fits behind what the line already holds.
            out += "\r\n ";
            column = 1;
            continue;
        }
        const std::string word = prefix + MUtils::Base64Encode(bytes.substr(at, end - at)) + "?=";
        out += word;
        column += word.size();
        at = end;
        if (at < bytes.size())
        {
            out += "\r\n ";
            column = 1;
        }
    }
    return out;
}

std::optional<std::string> FoldAtWhiteSpace(std::string_view value, std::size_t used)
{
    std::string out;
    std::size_t column = used;
    bool lineHasWord = false;
    std::size_t at = 0;
    while (at < value.size())
    {
        // One segment: white space and the word after it (or trailing white space).
        const std::size_t wordStart = std::min(value.find_first_not_of(" \t", at), value.size());
        const std::size_t end = std::min(value.find_first_of(" \t", wordStart), value.size());
        const std::string_view segment = value.substr(at, end - at);
        const bool hasWord = wordStart < end;
        // Folding goes before white space only, and never leaves a line of white space alone.
        if (wordStart > at && hasWord && lineHasWord && column + segment.size() > kFoldedLineLength)
        {
            out += "\r\n";
            column = 0;
        }
        out.append(segment);
        column += segment.size();
        lineHasWord = lineHasWord || hasWord;
        if (column > kMaxLineLength)
            return std::nullopt;
        at = end;
    }
    return out;
}

std::string HeaderText(std::string_view value, std::string_view charset, std::size_t nameLength)
{
    // ASCII that looks like an encoded word would be decoded by a reader: encode it too.
    if (IsAscii(value) && value.find("=?") == std::string_view::npos)
        if (auto folded = FoldAtWhiteSpace(value, nameLength))
            return *folded;
    return EncodedWords(value, charset, nameLength);
}

std::string DisplayNamePhrase(std::string_view name, std::string_view charset, std::size_t used)
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
    return EncodedWords(name, charset, used) + " ";
}
} // namespace SMailer
