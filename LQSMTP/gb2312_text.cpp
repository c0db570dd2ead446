#include "LQSMTP/gb2312_text.h"

#include <cerrno>
#include <iconv.h>
#include <utility>

namespace SMailer
{
namespace
{
// Length of the well-formed UTF-8 sequence that starts at `at`; 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t at)
{
    const unsigned char c = static_cast<unsigned char>(bytes[at]);
    if (c < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned min = 0;
    if (c >= 0xC2 && c <= 0xDF)
        length = 2, min = 0x80;
    else if (c >= 0xE0 && c <= 0xEF)
        length = 3, min = 0x800;
    else if (c >= 0xF0 && c <= 0xF4)
        length = 4, min = 0x10000;
    else
        return 0;
    if (at + length > bytes.size())
        return 0;
    unsigned code = c & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k)
    {
        const unsigned char n = static_cast<unsigned char>(bytes[at + k]);
        if ((n & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (n & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";
} // namespace

bool IsValidUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();)
    {
        const std::size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0)
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
    // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv's own failure value
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

namespace
{
// UTF-8 reading of `bytes`, each byte that starts no well-formed sequence
// replaced; *lost counts the replacements, *multiByte the characters beyond ASCII.
std::string LossyFromUtf8(std::string_view bytes, std::size_t* lost, std::size_t* multiByte)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size();)
    {
        const std::size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0)
        {
            out += kReplacementCharacter;
            ++*lost;
            ++i;
            continue;
        }
        out.append(bytes.substr(i, length));
        *multiByte += length > 1 ? 1 : 0;
        i += length;
    }
    return out;
}

// Code page 936 reading of `bytes`, likewise.
std::string LossyFromGbk(std::string_view bytes, std::size_t* lost)
{
    iconv_t cd = ::iconv_open("UTF-8", "GBK");
    // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv's own failure value
    if (cd == reinterpret_cast<iconv_t>(-1))
    {
        *lost = bytes.size();
        return std::string();
    }
    std::string out;
    char buffer[256];
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0)
    {
        char* dst = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = ::iconv(cd, &in, &inLeft, &dst, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG)
        {
            // EILSEQ or EINVAL: one byte this code page cannot read.
            out += kReplacementCharacter;
            ++*lost;
            ++in;
            --inLeft;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    ::iconv_close(cd);
    return out;
}

// The text as UTF-8 when it is UTF-8, also when cut short in the middle of a
// character or holding a stray byte: at least as many well-formed characters
// beyond ASCII as bad bytes, which text in code page 936 hardly ever has. Bad bytes
// become U+FFFD. Nothing for text that is not UTF-8.
std::optional<std::string> ReadAsUtf8(std::string_view text)
{
    if (IsValidUtf8(text))
        return std::string(text);
    std::size_t lost = 0;
    std::size_t multiByte = 0;
    std::string repaired = LossyFromUtf8(text, &lost, &multiByte);
    if (multiByte > 0 && multiByte >= lost)
        return repaired;
    return std::nullopt;
}
} // namespace

std::optional<std::string> TextInCharset(std::string_view text, MailCharset charset)
{
    if (auto utf8 = ReadAsUtf8(text))
    {
        if (charset == MailCharset::Utf8)
            return utf8;
        auto converted = Convert("UTF-8", charset == MailCharset::Gb2312 ? "GB2312" : "GBK", *utf8);
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

std::string Utf8Lossy(std::string_view text)
{
    if (auto utf8 = ReadAsUtf8(text))
        return *std::move(utf8);
    std::size_t lost = 0;
    return LossyFromGbk(text, &lost);
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
