#include "base/xml_helpers.h"

#include "platform/text.h"

#include <climits>
#include <cstdio>
#include <new>

namespace
{
// Calling through a null node is a failing DOM call, not a crash.
void RequireNode(const XmlNodePtr& node)
{
    if (!node)
        throw _com_error(E_POINTER, "The XML node is null.");
}

// The attribute of an element by exact name; raises for a non-element.
XmlAttributePtr FindAttribute(const XmlElementPtr& element, std::u16string_view name)
{
    RequireNode(element);
    const auto map = element->attributes();
    if (!map)
        throw _com_error(E_POINTER, "The XML node has no attributes.");
    return map->getNamedItem(name);
}

void StoreAs(VARTYPE requestedType, const std::u16string& text, _variant_t& value)
{
    if (requestedType == VT_I4)
        value = _variant_t(AtoiWide(text));
    else
        value = _variant_t(std::u16string_view(text));
}

std::u16string TextOf(const _variant_t& value)
{
    switch (value.vt)
    {
    case VT_BSTR:
        return value.bstrVal ? std::u16string(value.bstrVal, SysStringLen(value.bstrVal))
                             : std::u16string();
    case VT_I4:
        return Utf16FromUtf8(std::to_string(value.lVal));
    case VT_EMPTY:
    case VT_NULL:
        return {};
    default:
        try
        {
            return value.ToWide();
        }
        catch (const _com_error&)
        {
            return {}; // no text form (arrays, errors)
        }
    }
}

bool IsSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

bool IsHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The code point of "#N" / "#xN" (without & and ;), or -1.
long CharacterReference(std::u16string_view body)
{
    if (body.size() < 2 || body[0] != u'#')
        return -1;
    const bool hex = body[1] == u'x' || body[1] == u'X';
    const auto digits = body.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8)
        return -1;
    long cp = 0;
    for (char16_t c : digits)
    {
        if (hex ? !IsHexDigit(c) : !(c >= u'0' && c <= u'9'))
            return -1;
        const int digit = c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10;
        cp = cp * (hex ? 16 : 10) + digit;
    }
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return -1;
    return cp;
}

void AppendCodePoint(long cp, std::u16string& out)
{
    if (cp < 0x10000)
    {
        out.push_back(static_cast<char16_t>(cp));
        return;
    }
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}
} // namespace

XmlDocumentPtr CreateXmlDocument()
{
    try
    {
        return XmlDocument::Create();
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}

XmlDocumentPtr LoadXmlDocument(const OLECHAR* path)
{
    if (!path)
        return nullptr;
    return LoadXmlDocument(std::u16string(path));
}

XmlDocumentPtr LoadXmlDocument(const std::u16string& path)
{
    auto document = CreateXmlDocument();
    if (document && !path.empty())
        document->load(Utf8FromUtf16(path)); // a failed load leaves it empty
    return document;
}

int SaveXmlDocument(const OLECHAR* path, const XmlDocumentPtr& document)
{
    RequireNode(document);
    if (!path)
        return 0;
    return SaveXmlDocument(std::u16string(path), document);
}

int SaveXmlDocument(const std::u16string& path, const XmlDocumentPtr& document)
{
    RequireNode(document);
    return !path.empty() && document->save(Utf8FromUtf16(path)) ? 1 : 0;
}

XmlNodePtr GetFirstChild(const XmlNodePtr& node)
{
    RequireNode(node);
    return node->firstChild();
}

XmlNodePtr FindChildByName(const XmlNodePtr& node, std::string_view name)
{
    RequireNode(node);
    const auto children = node->childNodes();
    const auto wanted = Utf16FromUtf8(name);
    for (long i = 0; i < children->length(); ++i)
    {
        auto child = children->item(i);
        if (child && EqualsIgnoreCaseAscii(child->baseName(), wanted))
            return child;
    }
    return nullptr;
}

XmlElementPtr AppendElement(const XmlDocumentPtr& document, const XmlNodePtr& parent,
                            std::u16string_view name)
{
    RequireNode(document);
    XmlElementPtr element;
    try
    {
        element = document->createElement(name);
    }
    catch (const _com_error&)
    {
        return nullptr;
    }
    if (parent)
        parent->appendChild(element);
    else
        document->appendChild(element);
    return element;
}

int SetXmlAttribute(const XmlDocumentPtr& document, const XmlElementPtr& element,
                    std::u16string_view name, const _variant_t& value)
{
    RequireNode(document);
    RequireNode(element);
    XmlAttributePtr attribute;
    try
    {
        attribute = document->createAttribute(name);
    }
    catch (const _com_error&)
    {
        return 0;
    }
    attribute->put_nodeValue(TextOf(value));
    const auto map = element->attributes();
    if (!map)
        throw _com_error(E_POINTER, "The XML node has no attributes.");
    map->setNamedItem(attribute);
    return 1;
}

int GetXmlAttribute(const XmlElementPtr& element, std::u16string_view name, VARTYPE requestedType,
                    _variant_t& value)
{
    const auto attribute = FindAttribute(element, name);
    if (!attribute)
        return 0;
    StoreAs(requestedType, attribute->text(), value);
    return 1;
}

int GetXmlAttributeKeepingLineBreaks(const XmlElementPtr& element, std::u16string_view name,
                                     VARTYPE requestedType, _variant_t& value)
{
    const auto attribute = FindAttribute(element, name);
    if (!attribute)
        return 0;
    std::u16string text;
    const std::u16string serialised = attribute->xml();
    if (serialised.find(u"\r\n") != std::u16string::npos)
    {
        const auto begin = serialised.find(u"=\"");
        if (begin != std::u16string::npos)
        {
            const auto end = serialised.find(u'"', begin + 2);
            if (end != std::u16string::npos && end > begin + 2)
                text = serialised.substr(begin + 2, end - begin - 2);
        }
    }
    if (text.empty())
        text = attribute->text();
    StoreAs(requestedType, text, value);
    return 1;
}

std::int32_t AtoiWide(std::u16string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
    {
        magnitude = magnitude * 10 + (text[i] - u'0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1)
            magnitude = static_cast<long long>(INT_MAX) + 1; // keep clamped, stop growing
    }
    const long long result = negative ? -magnitude : magnitude;
    if (result > INT_MAX)
        return INT_MAX;
    return static_cast<std::int32_t>(result);
}

std::u16string DecodeXmlReferences(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
    {
        if (text[i] != u'&')
        {
            out.push_back(text[i++]);
            continue;
        }
        const auto semicolon = text.find(u';', i + 1);
        if (semicolon == std::u16string_view::npos || semicolon - i > 12)
        {
            out.push_back(text[i++]);
            continue;
        }
        const auto body = text.substr(i + 1, semicolon - i - 1);
        long cp = -1;
        if (body == u"amp")
            cp = u'&';
        else if (body == u"lt")
            cp = u'<';
        else if (body == u"gt")
            cp = u'>';
        else if (body == u"quot")
            cp = u'"';
        else if (body == u"apos")
            cp = u'\'';
        else
            cp = CharacterReference(body);
        if (cp < 0)
        {
            out.push_back(text[i++]);
            continue;
        }
        AppendCodePoint(cp, out);
        i = semicolon + 1;
    }
    return out;
}

void ReadXmlInt(const XmlElementPtr& element, std::u16string_view name, std::int32_t& out)
{
    _variant_t value;
    if (GetXmlAttribute(element, name, VT_I4, value) && value.vt == VT_I4)
        out = value.lVal;
}

void ReadXmlText(const XmlElementPtr& element, std::u16string_view name, std::string& out)
{
    _variant_t value;
    if (GetXmlAttribute(element, name, VT_BSTR, value) && value.vt == VT_BSTR)
        out = value.ToUtf8();
}
