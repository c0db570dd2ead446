#include "platform/xml/xml_dom.h"

#include "platform/text.h"
#include "platform/xml/atomic_file.h"
#include "platform/xml/xml_encoding.h"
#include "platform/xml/xml_names.h"
#include "platform/xml/xml_parser.h"
#include "platform/xml/xml_serializer.h"
#include "platform/xml/xml_tree_access.h"

#include <fstream>
#include <iterator>

namespace
{
[[noreturn]] void Fail(HRESULT hr, const char* description)
{
    throw _com_error(hr, description);
}

void RequireName(std::u16string_view name)
{
    if (!IsValidXmlName(name))
        Fail(E_FAIL, "The name is not a valid XML name.");
}

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}
} // namespace

XmlDocument::XmlDocument() : XmlNode(NODE_DOCUMENT, {}, {}) {}

XmlDocumentPtr XmlDocument::Create()
{
    XmlDocumentPtr document(new XmlDocument());
    document->m_owner = document;
    return document;
}

XmlElementPtr XmlDocument::createElement(std::u16string_view name)
{
    RequireName(name);
    return XmlTreeAccess::Make(NODE_ELEMENT, std::u16string(name), {},
                               std::static_pointer_cast<XmlDocument>(shared_from_this()));
}

XmlAttributePtr XmlDocument::createAttribute(std::u16string_view name)
{
    RequireName(name);
    return XmlTreeAccess::Make(NODE_ATTRIBUTE, std::u16string(name), {},
                               std::static_pointer_cast<XmlDocument>(shared_from_this()));
}

XmlNodePtr XmlDocument::createTextNode(std::u16string_view text)
{
    return XmlTreeAccess::Make(NODE_TEXT, {}, std::u16string(text),
                               std::static_pointer_cast<XmlDocument>(shared_from_this()));
}

XmlNodePtr XmlDocument::createCDATASection(std::u16string_view data)
{
    return XmlTreeAccess::Make(NODE_CDATA_SECTION, {}, std::u16string(data),
                               std::static_pointer_cast<XmlDocument>(shared_from_this()));
}

XmlNodePtr XmlDocument::createComment(std::u16string_view text)
{
    if (text.find(u"--") != std::u16string_view::npos || (!text.empty() && text.back() == u'-'))
        Fail(E_FAIL, "A comment may not contain \"--\" or end with \"-\".");
    return XmlTreeAccess::Make(NODE_COMMENT, {}, std::u16string(text),
                               std::static_pointer_cast<XmlDocument>(shared_from_this()));
}

XmlNodePtr XmlDocument::createProcessingInstruction(std::u16string_view target,
                                                    std::u16string_view data)
{
    RequireName(target);
    auto node = XmlTreeAccess::Make(NODE_PROCESSING_INSTRUCTION, std::u16string(target), {},
                                    std::static_pointer_cast<XmlDocument>(shared_from_this()));
    node->put_nodeValue(data);
    return node;
}

XmlElementPtr XmlDocument::documentElement() const
{
    for (const auto& child : XmlTreeAccess::Children(*this))
    {
        if (child->nodeType() == NODE_ELEMENT)
            return child;
    }
    return nullptr;
}

bool XmlDocument::load(const std::string& path)
{
    XmlTreeAccess::ReplaceChildren(*this, {});
    std::string bytes;
    if (path.empty() || !ReadWholeFile(path, bytes))
        return false;
    std::vector<XmlNodePtr> nodes;
    if (!ParseXmlText(XmlBytesToUtf8(bytes),
                      std::static_pointer_cast<XmlDocument>(shared_from_this()), nodes))
        return false;
    XmlTreeAccess::ReplaceChildren(*this, std::move(nodes));
    return true;
}

bool XmlDocument::loadXML(std::u16string_view xml)
{
    XmlTreeAccess::ReplaceChildren(*this, {});
    std::vector<XmlNodePtr> nodes;
    if (!ParseXmlText(Utf8FromUtf16(xml), std::static_pointer_cast<XmlDocument>(shared_from_this()),
                      nodes))
        return false;
    XmlTreeAccess::ReplaceChildren(*this, std::move(nodes));
    return true;
}

std::u16string XmlDocument::declaredEncoding() const
{
    const auto& children = XmlTreeAccess::Children(*this);
    if (children.empty() || children.front()->nodeType() != NODE_PROCESSING_INSTRUCTION ||
        XmlTreeAccess::Name(*children.front()) != u"xml")
        return {};
    return Utf16FromUtf8(
        EncodingFromDeclarationData(Utf8FromUtf16(XmlTreeAccess::Value(*children.front()))));
}

bool XmlDocument::serializeToBytes(std::string& bytes) const
{
    const std::string encoding = Utf8FromUtf16(declaredEncoding());
    std::u16string text;
    SerializeXmlNode(*this, text);
    if (auto encoded = Utf8ToXmlEncoding(Utf8FromUtf16(text), encoding))
    {
        bytes = std::move(*encoded);
        return true;
    }
    if (IsUtf8EncodingName(encoding))
        return false;
    // Characters the declared encoding lacks go out as character references.
    text.clear();
    SerializeXmlNode(*this, text, XmlWriteOptions{true});
    if (auto encoded = Utf8ToXmlEncoding(Utf8FromUtf16(text), encoding))
    {
        bytes = std::move(*encoded);
        return true;
    }
    return false;
}

bool XmlDocument::save(const std::string& path) const
{
    std::string bytes;
    return serializeToBytes(bytes) && WriteFileAtomically(path, bytes);
}
