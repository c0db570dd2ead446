#include "platform/xml/xml_names.h"

namespace
{
bool IsNameStart(char16_t c)
{
    if (c >= 0x80)
        return true; // letters of other scripts, surrogate halves of them too
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u':';
}

bool IsNameChar(char16_t c)
{
    return IsNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
}
} // namespace

bool IsValidXmlName(std::u16string_view name)
{
    if (name.empty() || !IsNameStart(name.front()))
        return false;
    for (char16_t c : name)
    {
        if (!IsNameChar(c))
            return false;
    }
    return true;
}

std::u16string_view XmlBaseName(std::u16string_view name)
{
    const auto colon = name.find(u':');
    return colon == std::u16string_view::npos ? name : name.substr(colon + 1);
}

std::u16string_view XmlPrefix(std::u16string_view name)
{
    const auto colon = name.find(u':');
    return colon == std::u16string_view::npos ? std::u16string_view() : name.substr(0, colon);
}
