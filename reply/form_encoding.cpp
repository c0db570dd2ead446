#include "reply/form_encoding.h"

#include "platform/text.h"

#include <algorithm>

namespace
{

// What a pasted no-break space looks like, as a space the forum can take.
std::string WithPlainSpaces(std::string_view utf8)
{
    std::string text;
    text.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i)
    {
        if (utf8.substr(i, 2) == "\xC2\xA0")
        {
            text += ' ';
            ++i;
        }
        else
            text += utf8[i];
    }
    return text;
}

// Bytes of the UTF-8 sequence a lead byte starts (1 for a stray byte).
size_t SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

} // namespace

std::string EncodeFormBytes(std::string_view bytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes)
    {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9'))
        {
            out += c;
            continue;
        }
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    }
    return out;
}

std::optional<std::string> EncodeFormText(std::string_view utf8, std::string* error)
{
    const std::string text = WithPlainSpaces(utf8);
    const std::optional<std::string> gbk =
        IsValidUtf8(text) ? ConvertCharset(text, "UTF-8", "GBK") : std::nullopt;
    if (!gbk)
    {
        if (error)
            *error = "the reply contains a character (" + FirstUncarriableCharacter(text) +
                     ") that the community's character set (GB2312/GBK) cannot carry";
        return std::nullopt;
    }
    return EncodeFormBytes(*gbk);
}

std::string FirstUncarriableCharacter(std::string_view utf8)
{
    const std::string text = WithPlainSpaces(utf8);
    for (size_t i = 0; i < text.size();)
    {
        const size_t n =
            std::min(SequenceLength(static_cast<unsigned char>(text[i])), text.size() - i);
        const std::string_view character = std::string_view(text).substr(i, n);
        if (!IsValidUtf8(character) || !ConvertCharset(character, "UTF-8", "GBK"))
            return std::string(character);
        i += n;
    }
    return {};
}
