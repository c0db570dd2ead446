#include "reply/form_encoding.h"

#include "platform/text.h"

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
    const std::optional<std::string> gbk =
        IsValidUtf8(utf8) ? ConvertCharset(utf8, "UTF-8", "GBK") : std::nullopt;
    if (!gbk)
    {
        if (error)
            *error = "the reply contains characters that the community's character set "
                     "(GB2312/GBK) cannot carry";
        return std::nullopt;
    }
    return EncodeFormBytes(*gbk);
}
