#include "platform/text.h"

#include <cerrno>
#include <iconv.h>

namespace
{

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at i; advances i. Rejects overlongs and surrogates.
char32_t DecodeUtf8At(std::string_view s, size_t& i, bool& ok)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    ok = true;
    if (b0 < 0x80)
    {
        ++i;
        return b0;
    }
    int len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0)
    {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    }
    else if ((b0 & 0xF0) == 0xE0)
    {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    }
    else if ((b0 & 0xF8) == 0xF0)
    {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    }
    else
    {
        ++i;
        ok = false;
        return kReplacement;
    }
    if (i + len > s.size())
    {
        ++i;
        ok = false;
        return kReplacement;
    }
    for (int k = 1; k < len; ++k)
    {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
        {
            ++i;
            ok = false;
            return kReplacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    {
        ++i;
        ok = false;
        return kReplacement;
    }
    i += len;
    return cp;
}

class Iconv
{
public:
    Iconv(const std::string& to, const std::string& from)
        : m_cd(iconv_open(to.c_str(), from.c_str()))
    {
    }
    ~Iconv()
    {
        if (ok())
            iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    // iconv_open reports failure as (iconv_t)-1.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts all of in; on an invalid sequence either fails or, with
    // replacement set, emits it and skips one input byte (one whole
    // character when the input is UTF-8, so an unencodable character gives
    // one replacement, not one per byte).
    bool Convert(std::string_view in, std::string& out, const char* replacement,
                 bool utf8Input = false)
    {
        char* src = const_cast<char*>(in.data());
        size_t left = in.size();
        char buf[4096];
        while (left > 0)
        {
            char* dst = buf;
            size_t room = sizeof buf;
            const size_t r = iconv(m_cd, &src, &left, &dst, &room);
            out.append(buf, dst - buf);
            if (r == static_cast<size_t>(-1))
            {
                if (errno == E2BIG)
                    continue;
                if (!replacement)
                    return false;
                out += replacement;
                size_t skip = 1;
                if (utf8Input)
                {
                    const std::string_view rest(src, left);
                    size_t next = 0;
                    bool valid = true;
                    DecodeUtf8At(rest, next, valid);
                    skip = next; // 1 for a malformed byte
                }
                src += skip;
                left -= skip;
                iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
            }
        }
        char* dst = buf;
        size_t room = sizeof buf;
        iconv(m_cd, nullptr, nullptr, &dst, &room);
        out.append(buf, dst - buf);
        return true;
    }

private:
    iconv_t m_cd;
};

} // namespace

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80)
    {
        out += static_cast<char>(cp);
    }
    else if (cp < 0x800)
    {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    else if (cp < 0x10000)
    {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::u16string Utf16FromUtf8(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    bool ok = true;
    while (i < utf8.size())
    {
        char32_t cp = DecodeUtf8At(utf8, i, ok);
        if (cp >= 0x10000)
        {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        }
        else
        {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf8FromUtf16(std::u16string_view wide)
{
    std::string out;
    out.reserve(wide.size() * 3);
    for (size_t i = 0; i < wide.size(); ++i)
    {
        char32_t cp = wide[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF)
        {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        }
        else if (cp >= 0xD800 && cp <= 0xDFFF)
        {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes)
{
    size_t i = 0;
    bool ok = true;
    while (i < bytes.size())
    {
        DecodeUtf8At(bytes, i, ok);
        if (!ok)
            return false;
    }
    return true;
}

std::string ToLowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string NormalizeCharsetName(std::string_view name)
{
    std::string n = ToLowerAscii(name);
    while (!n.empty() &&
           (n.back() == ' ' || n.back() == '\t' || n.back() == '"' || n.back() == '\''))
        n.pop_back();
    size_t start = n.find_first_not_of(" \t\"'");
    n = start == std::string::npos ? std::string() : n.substr(start);
    if (n.empty() || n == "utf8" || n == "utf-8")
        return "UTF-8";
    if (n == "gb2312" || n == "gbk" || n == "cp936" || n == "x-gbk" || n == "gb_2312-80" ||
        n == "euc-cn" || n == "936")
        return "CP936";
    if (n == "gb18030")
        return "GB18030";
    if (n == "big5")
        return "BIG5";
    return std::string(name);
}

std::optional<std::string> ConvertCharset(std::string_view bytes, std::string_view from,
                                          std::string_view to)
{
    Iconv cd(NormalizeCharsetName(to), NormalizeCharsetName(from));
    if (!cd.ok())
        return std::nullopt;
    std::string out;
    if (!cd.Convert(bytes, out, nullptr))
        return std::nullopt;
    return out;
}

std::string Utf8FromGbk(std::string_view gbk)
{
    Iconv cd("UTF-8", "CP936");
    std::string out;
    cd.Convert(gbk, out, "\xEF\xBF\xBD");
    return out;
}

std::string GbkFromUtf8(std::string_view utf8)
{
    Iconv cd("CP936", "UTF-8");
    std::string out;
    cd.Convert(utf8, out, "?", true);
    return out;
}

std::string DecodeToUtf8(std::string_view bytes, std::string_view charset)
{
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return std::string(bytes.substr(3));
    const std::string cs = NormalizeCharsetName(charset);
    if (cs == "UTF-8")
    {
        if (IsValidUtf8(bytes))
            return std::string(bytes);
        // Pages that claim UTF-8 but are GBK are common on this service.
        if (auto converted = ConvertCharset(bytes, "CP936", "UTF-8"))
            return *converted;
        return Utf8FromUtf16(Utf16FromUtf8(bytes));
    }
    if (cs == "CP936")
        return Utf8FromGbk(bytes);
    if (auto converted = ConvertCharset(bytes, cs, "UTF-8"))
        return *converted;
    return Utf8FromUtf16(Utf16FromUtf8(bytes));
}

namespace
{
template <typename C> C FoldAscii(C c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<C>(c - 'A' + 'a') : c;
}
template <typename S> bool EqualsFold(S a, S b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}
} // namespace

bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b)
{
    return EqualsFold(a, b);
}
bool EqualsIgnoreCaseAscii(std::u16string_view a, std::u16string_view b)
{
    return EqualsFold(a, b);
}
