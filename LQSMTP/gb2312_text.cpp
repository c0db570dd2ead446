#include "gb2312_text.h"

#include <cerrno>
#include <iconv.h>

namespace SMailer
{
bool IsValidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size())
    {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        unsigned min = 0;
        if (c < 0x80)
        {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF)
            length = 2, min = 0x80;
        else if (c >= 0xE0 && c <= 0xEF)
            length = 3, min = 0x800;
        else if (c >= 0xF0 && c <= 0xF4)
            length = 4, min = 0x10000;
        else
            return false;
        if (i + length > bytes.size())
            return false;
        unsigned code = c & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k)
        {
            const unsigned char n = static_cast<unsigned char>(bytes[i + k]);
            if ((n & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (n & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::optional<std::string> GbkFromUtf8(std::string_view utf8)
{
    if (!IsValidUtf8(utf8))
        return std::nullopt;
    iconv_t cd = ::iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    // GBK never needs more bytes than UTF-8 for the same text, so one pass fits.
    const std::size_t rc = ::iconv(cd, &in, &inLeft, &dst, &outLeft);
    ::iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::string MailTextFromCaller(std::string_view text)
{
    if (auto gbk = GbkFromUtf8(text))
        return *gbk;
    return std::string(text);
}
} // namespace SMailer
