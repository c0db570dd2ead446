#include "platform/net/mime_codec.h"

namespace
{
constexpr char kHex[] = "0123456789ABCDEF";
constexpr size_t kMaxLine = 76;
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

int Base64Value(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}
} // namespace

std::string EncodeQuotedPrintable(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    size_t lineLen = 0;
    auto emit = [&](std::string_view token)
    {
        // Leave room for the '=' of a soft break.
        if (lineLen + token.size() > kMaxLine - 1)
        {
            out += "=\r\n";
            lineLen = 0;
        }
        out += token;
        lineLen += token.size();
    };
    for (size_t i = 0; i < bytes.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
        {
            out += "\r\n";
            lineLen = 0;
            ++i;
            continue;
        }
        const bool atLineEnd =
            i + 1 == bytes.size() ||
            (bytes[i + 1] == '\r' && i + 2 < bytes.size() && bytes[i + 2] == '\n');
        const bool literal =
            (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !atLineEnd);
        if (literal)
        {
            char token[1] = {static_cast<char>(c)};
            emit(std::string_view(token, 1));
        }
        else
        {
            char token[3] = {'=', kHex[c >> 4], kHex[c & 15]};
            emit(std::string_view(token, 3));
            if (c == '\n')
            {
                // Keep the encoded text readable line by line.
                out += "=\r\n";
                lineLen = 0;
            }
        }
    }
    return out;
}

std::string DecodeQuotedPrintable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
    {
        char c = text[i];
        if (c != '=')
        {
            out += c;
            continue;
        }
        // Soft line break: '=' then optional trailing blanks, then CR LF or LF.
        size_t j = i + 1;
        while (j < text.size() && (text[j] == ' ' || text[j] == '\t'))
            ++j;
        if (j < text.size() && (text[j] == '\r' || text[j] == '\n'))
        {
            if (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n')
                ++j;
            i = j;
            continue;
        }
        if (j == text.size())
        {
            i = j;
            continue;
        }
        if (i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0)
        {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
            continue;
        }
        out += c;
    }
    return out;
}

std::string EncodeBase64Lines(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 4 / 3 + bytes.size() / 38 + 8);
    size_t lineLen = 0;
    auto put = [&](char c)
    {
        if (lineLen == kMaxLine)
        {
            out += "\r\n";
            lineLen = 0;
        }
        out += c;
        ++lineLen;
    };
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3)
    {
        unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 |
                     (unsigned char)bytes[i + 2];
        put(kBase64[v >> 18]);
        put(kBase64[(v >> 12) & 63]);
        put(kBase64[(v >> 6) & 63]);
        put(kBase64[v & 63]);
    }
    size_t rest = bytes.size() - i;
    if (rest > 0)
    {
        unsigned v = (unsigned char)bytes[i] << 16;
        if (rest == 2)
            v |= (unsigned char)bytes[i + 1] << 8;
        put(kBase64[v >> 18]);
        put(kBase64[(v >> 12) & 63]);
        put(rest == 2 ? kBase64[(v >> 6) & 63] : '=');
        put('=');
    }
    return out;
}

std::optional<std::string> DecodeBase64(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 3 / 4);
    unsigned acc = 0;
    int bits = 0;
    bool padded = false;
    for (unsigned char c : text)
    {
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t')
            continue;
        if (c == '=')
        {
            padded = true;
            continue;
        }
        int v = Base64Value(c);
        if (v < 0 || padded)
            return std::nullopt;
        acc = (acc << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8)
        {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    return out;
}

std::string DecodeBase64Lenient(std::string_view text)
{
    std::string clean;
    clean.reserve(text.size());
    for (unsigned char c : text)
    {
        if (c == '=')
            break;
        if (Base64Value(c) >= 0)
            clean += static_cast<char>(c);
    }
    return DecodeBase64(clean).value_or(std::string()); // only the alphabet is left: cannot fail
}
