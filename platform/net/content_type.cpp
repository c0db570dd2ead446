#include "platform/net/content_type.h"

#include "platform/text.h"

namespace
{
std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}
} // namespace

ContentType ParseContentType(std::string_view header)
{
    ContentType result;
    size_t semi = header.find(';');
    result.mimeType = ToLowerAscii(Trim(header.substr(0, semi)));
    while (semi != std::string_view::npos)
    {
        header.remove_prefix(semi + 1);
        semi = header.find(';');
        std::string_view param = Trim(header.substr(0, semi));
        size_t eq = param.find('=');
        if (eq == std::string_view::npos)
            continue;
        if (!EqualsIgnoreCaseAscii(Trim(param.substr(0, eq)), "charset"))
            continue;
        std::string_view value = Trim(param.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        result.charset = std::string(Trim(value));
        break;
    }
    return result;
}

std::string GuessMimeType(std::string_view url)
{
    size_t end = url.find_first_of("?#");
    if (end != std::string_view::npos)
        url = url.substr(0, end);
    size_t slash = url.rfind('/');
    size_t dot = url.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string ext = ToLowerAscii(url.substr(dot + 1));
    static const struct
    {
        const char* ext;
        const char* type;
    } table[] = {
        {"htm", "text/html"},    {"html", "text/html"},
        {"shtm", "text/html"},   {"shtml", "text/html"},
        {"asp", "text/html"},    {"aspx", "text/html"},
        {"css", "text/css"},     {"js", "application/javascript"},
        {"xml", "text/xml"},     {"xsl", "text/xsl"},
        {"txt", "text/plain"},   {"png", "image/png"},
        {"gif", "image/gif"},    {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},  {"bmp", "image/bmp"},
        {"ico", "image/x-icon"}, {"svg", "image/svg+xml"},
        {"webp", "image/webp"},  {"woff", "font/woff"},
        {"woff2", "font/woff2"}, {"ttf", "font/ttf"},
    };
    for (const auto& row : table)
        if (ext == row.ext)
            return row.type;
    return {};
}

bool IsTextMimeType(std::string_view mimeType)
{
    std::string t = ToLowerAscii(mimeType);
    if (t.starts_with("text/"))
        return true;
    return t == "application/javascript" || t == "application/x-javascript" ||
           t == "application/ecmascript" || t == "application/json" || t == "application/xml" ||
           t == "application/xhtml+xml" || t == "image/svg+xml";
}
