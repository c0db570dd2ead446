#include "platform/xml/xml_serializer.h"

#include "platform/xml/xml_tree_access.h"

#include <cstdio>

namespace
{
// Appends a character reference for the code point starting at text[i];
// returns how many code units it used.
std::size_t AppendCharacterReference(std::u16string_view text, std::size_t i, std::u16string& out)
{
    char32_t cp = text[i];
    std::size_t used = 1;
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF)
    {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        used = 2;
    }
    else if (cp >= 0xD800 && cp <= 0xDFFF)
    {
        cp = 0xFFFD; // a lone surrogate has no character to refer to
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "&#x%X;", static_cast<unsigned>(cp));
    for (const char* p = buffer; *p; ++p)
        out.push_back(static_cast<char16_t>(*p));
    return used;
}

void AppendEscaped(std::u16string_view text, std::u16string& out, bool attribute, bool asciiOnly)
{
    for (std::size_t i = 0; i < text.size();)
    {
        const char16_t c = text[i];
        if (c == u'&')
            out += u"&amp;";
        else if (c == u'<')
            out += u"&lt;";
        else if (attribute && c == u'"')
            out += u"&quot;";
        else if (!attribute && c == u'>')
            out += u"&gt;";
        else if (asciiOnly && c >= 0x80)
        {
            i += AppendCharacterReference(text, i, out);
            continue;
        }
        else
            out.push_back(c);
        ++i;
    }
}

void AppendCData(std::u16string_view data, std::u16string& out)
{
    // "]]>" cannot stand inside a section: close it and open a new one.
    out += u"<![CDATA[";
    std::size_t start = 0;
    for (std::size_t end; (end = data.find(u"]]>", start)) != std::u16string_view::npos;)
    {
        out.append(data.substr(start, end + 2 - start));
        out += u"]]><![CDATA[";
        start = end + 2;
    }
    out.append(data.substr(start));
    out += u"]]>";
}
} // namespace

void AppendEscapedAttributeValue(std::u16string_view value, std::u16string& out, bool asciiOnly)
{
    AppendEscaped(value, out, true, asciiOnly);
}

void AppendEscapedText(std::u16string_view text, std::u16string& out, bool asciiOnly)
{
    AppendEscaped(text, out, false, asciiOnly);
}

void SerializeXmlNode(const XmlNode& node, std::u16string& out, const XmlWriteOptions& options)
{
    const auto& name = XmlTreeAccess::Name(node);
    const auto& value = XmlTreeAccess::Value(node);
    switch (node.nodeType())
    {
    case NODE_DOCUMENT:
        for (const auto& child : XmlTreeAccess::Children(node))
            SerializeXmlNode(*child, out, options);
        break;
    case NODE_ELEMENT:
        out.push_back(u'<');
        out += name;
        for (const auto& attribute : XmlTreeAccess::Attributes(node))
        {
            out.push_back(u' ');
            SerializeXmlNode(*attribute, out, options);
        }
        if (XmlTreeAccess::Children(node).empty())
        {
            out += u"/>";
            break;
        }
        out.push_back(u'>');
        for (const auto& child : XmlTreeAccess::Children(node))
            SerializeXmlNode(*child, out, options);
        out += u"</";
        out += name;
        out.push_back(u'>');
        break;
    case NODE_ATTRIBUTE:
        out += name;
        out += u"=\"";
        AppendEscapedAttributeValue(value, out, options.asciiOnlyValues);
        out.push_back(u'"');
        break;
    case NODE_TEXT:
        AppendEscapedText(value, out, options.asciiOnlyValues);
        break;
    case NODE_CDATA_SECTION:
        AppendCData(value, out);
        break;
    case NODE_COMMENT:
        out += u"<!--";
        out += value;
        out += u"-->";
        break;
    case NODE_PROCESSING_INSTRUCTION:
        out += u"<?";
        out += name;
        if (!value.empty())
        {
            out.push_back(u' ');
            out += value;
        }
        out += u"?>";
        break;
    case NODE_DOCUMENT_TYPE:
        out += u"<!DOCTYPE ";
        out += value;
        out.push_back(u'>');
        break;
    case NODE_INVALID:
        break;
    }
}
