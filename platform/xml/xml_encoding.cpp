#include "platform/xml/xml_encoding.h"

#include "platform/text.h"

#include <cctype>

namespace
{
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The data of a leading "<?xml ...?>" declaration, or empty.
std::string_view LeadingDeclarationData(std::string_view bytes)
{
    std::size_t start = 0;
    while (start < bytes.size() && IsSpace(bytes[start]))
        ++start;
    if (bytes.substr(start, 5) != "<?xml" || start + 5 >= bytes.size() ||
        !IsSpace(bytes[start + 5]))
        return {};
    const auto end = bytes.find("?>", start + 5);
    if (end == std::string_view::npos)
        return {};
    return bytes.substr(start + 5, end - start - 5);
}
} // namespace

std::string EncodingFromDeclarationData(std::string_view data)
{
    for (std::size_t at = data.find("encoding"); at != std::string_view::npos;
         at = data.find("encoding", at + 1))
    {
        if (at > 0 && !IsSpace(data[at - 1]))
            continue;
        std::size_t i = at + 8;
        while (i < data.size() && IsSpace(data[i]))
            ++i;
        if (i >= data.size() || data[i] != '=')
            continue;
        ++i;
        while (i < data.size() && IsSpace(data[i]))
            ++i;
        if (i >= data.size() || (data[i] != '"' && data[i] != '\''))
            continue;
        const char quote = data[i];
        const auto close = data.find(quote, i + 1);
        if (close == std::string_view::npos)
            return {};
        return std::string(data.substr(i + 1, close - i - 1));
    }
    return {};
}

bool IsUtf8EncodingName(std::string_view name)
{
    return name.empty() || EqualsIgnoreCaseAscii(name, "utf-8") ||
           EqualsIgnoreCaseAscii(name, "utf8");
}

std::string XmlBytesToUtf8(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return DecodeToUtf8(bytes.substr(3), "UTF-8");
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")
    {
        const char* from = bytes[0] == '\xFF' ? "UTF-16LE" : "UTF-16BE";
        if (auto converted = ConvertCharset(bytes.substr(2), from, "UTF-8"))
            return *converted;
        return {};
    }
    const std::string encoding = EncodingFromDeclarationData(LeadingDeclarationData(bytes));
    if (!IsUtf8EncodingName(encoding))
    {
        if (auto converted = ConvertCharset(bytes, encoding, "UTF-8"))
            return *converted;
    }
    // UTF-8, or a declared encoding the bytes do not hold cleanly.
    return DecodeToUtf8(bytes, IsUtf8EncodingName(encoding) ? std::string_view() : encoding);
}

std::optional<std::string> Utf8ToXmlEncoding(std::string_view utf8, std::string_view encoding)
{
    if (IsUtf8EncodingName(encoding))
        return std::string(utf8);
    return ConvertCharset(utf8, "UTF-8", encoding);
}
