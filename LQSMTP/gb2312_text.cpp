#include "LQSMTP/gb2312_text.h"

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

namespace
{
// Strict conversion: any byte sequence the source cannot decode or the target
// cannot hold gives nothing.
std::optional<std::string> Convert(const char* from, const char* to, std::string_view bytes)
{
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(bytes.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    std::size_t done = 0;
    bool ok = true;
    while (inLeft > 0)
    {
        char* dst = out.data() + done;
        std::size_t outLeft = out.size() - done;
        const std::size_t rc = ::iconv(cd, &in, &inLeft, &dst, &outLeft);
        done = out.size() - outLeft;
        if (rc != static_cast<std::size_t>(-1))
            break;
        if (errno != E2BIG)
        {
            ok = false;
            break;
        }
        out.resize(out.size() * 2);
    }
    ::iconv_close(cd);
    if (!ok || inLeft != 0)
        return std::nullopt;
    out.resize(done);
    return out;
}

// Code page 936 puts the euro sign on the single byte 0x80, which GBK decoders
// refuse; such text is not GBK for a reader.
bool HasSingleByteEuro(std::string_view gbk)
{
    for (std::size_t i = 0; i < gbk.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(gbk[i]);
        if (c == 0x80)
            return true;
        if (c > 0x80)
            ++i;
    }
    return false;
}
} // namespace

std::optional<std::string> GbkFromUtf8(std::string_view utf8)
{
    if (!IsValidUtf8(utf8))
        return std::nullopt;
    return Convert("UTF-8", "GBK", utf8);
}

const char* CharsetName(MailCharset charset)
{
    switch (charset)
    {
    case MailCharset::Gb2312:
        return "gb2312";
    case MailCharset::Gbk:
        return "gbk";
    case MailCharset::Utf8:
        break;
    }
    return "utf-8";
}

std::optional<std::string> TextInCharset(std::string_view text, MailCharset charset)
{
    if (IsValidUtf8(text))
    {
        if (charset == MailCharset::Utf8)
            return std::string(text);
        auto converted = Convert("UTF-8", charset == MailCharset::Gb2312 ? "GB2312" : "GBK", text);
        if (converted && charset == MailCharset::Gbk && HasSingleByteEuro(*converted))
            return std::nullopt;
        return converted;
    }
    switch (charset)
    {
    case MailCharset::Gb2312:
        if (!Convert("GB2312", "UTF-8", text))
            return std::nullopt;
        return std::string(text);
    case MailCharset::Gbk:
        if (HasSingleByteEuro(text) || !Convert("GBK", "UTF-8", text))
            return std::nullopt;
        return std::string(text);
    case MailCharset::Utf8:
        break;
    }
    return Convert("GBK", "UTF-8", text);
}

std::optional<MailCharset> CharsetFor(std::initializer_list<std::string_view> texts)
{
    for (const MailCharset charset : {MailCharset::Gb2312, MailCharset::Gbk, MailCharset::Utf8})
    {
        bool fits = true;
        for (const std::string_view text : texts)
            fits = fits && TextInCharset(text, charset).has_value();
        if (fits)
            return charset;
    }
    return std::nullopt;
}
} // namespace SMailer
