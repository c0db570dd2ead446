#include "platform/xml/xml_parser.h"

#include "platform/text.h"
#include "platform/xml/xml_tree_access.h"

#include <pugixml.hpp>

#include <set>
#include <utility>

namespace
{
// No end-of-line or attribute white-space normalisation: values keep their
// CR LF pairs exactly as the file holds them. White-space-only text makes
// no nodes.
constexpr unsigned kParseFlags =
    pugi::parse_cdata | pugi::parse_escapes | pugi::parse_comments | pugi::parse_pi |
    pugi::parse_declaration | pugi::parse_doctype |
    pugi::parse_fragment; // keeps stray top-level text, so it can be refused

std::u16string Wide(const char* utf8)
{
    return Utf16FromUtf8(utf8 ? utf8 : "");
}

std::u16string DeclarationData(const pugi::xml_node& declaration)
{
    std::string data;
    for (const auto& attribute : declaration.attributes())
    {
        if (!data.empty())
            data += ' ';
        data += attribute.name();
        data += "=\"";
        data += attribute.value();
        data += '"';
    }
    return Utf16FromUtf8(data);
}

std::u16string DoctypeName(std::u16string_view text)
{
    const auto end = text.find_first_of(u" \t\r\n[");
    return std::u16string(text.substr(0, end));
}

// pugixml does not check this part of well-formedness itself.
bool HasDuplicateAttribute(const pugi::xml_node& element)
{
    if (!element.first_attribute() || !element.first_attribute().next_attribute())
        return false;
    std::set<std::string_view> seen;
    for (const auto& attribute : element.attributes())
    {
        if (!seen.insert(attribute.name()).second)
            return true;
    }
    return false;
}

// Null for nodes the DOM does not keep.
XmlNodePtr Convert(const pugi::xml_node& source, const XmlDocumentPtr& owner)
{
    switch (source.type())
    {
    case pugi::node_element:
    {
        auto element = XmlTreeAccess::Make(NODE_ELEMENT, Wide(source.name()), {}, owner);
        for (const auto& attribute : source.attributes())
        {
            XmlTreeAccess::AddAttribute(*element,
                                        XmlTreeAccess::Make(NODE_ATTRIBUTE, Wide(attribute.name()),
                                                            Wide(attribute.value()), owner));
        }
        return element;
    }
    case pugi::node_pcdata:
        return XmlTreeAccess::Make(NODE_TEXT, {}, Wide(source.value()), owner);
    case pugi::node_cdata:
        return XmlTreeAccess::Make(NODE_CDATA_SECTION, {}, Wide(source.value()), owner);
    case pugi::node_comment:
        return XmlTreeAccess::Make(NODE_COMMENT, {}, Wide(source.value()), owner);
    case pugi::node_pi:
        return XmlTreeAccess::Make(NODE_PROCESSING_INSTRUCTION, Wide(source.name()),
                                   Wide(source.value()), owner);
    case pugi::node_declaration:
        return XmlTreeAccess::Make(NODE_PROCESSING_INSTRUCTION, u"xml", DeclarationData(source),
                                   owner);
    case pugi::node_doctype:
    {
        auto text = Wide(source.value());
        auto name = DoctypeName(text);
        return XmlTreeAccess::Make(NODE_DOCUMENT_TYPE, std::move(name), std::move(text), owner);
    }
    default:
        return nullptr;
    }
}
} // namespace

bool ParseXmlText(std::string_view utf8, const XmlDocumentPtr& owner,
                  std::vector<XmlNodePtr>& nodes)
{
    nodes.clear();
    pugi::xml_document source;
    const auto result =
        source.load_buffer(utf8.data(), utf8.size(), kParseFlags, pugi::encoding_utf8);
    if (!result)
        return false;

    int elements = 0;
    for (const auto& top : source.children())
    {
        if (top.type() == pugi::node_element)
            ++elements;
        else if (top.type() == pugi::node_pcdata || top.type() == pugi::node_cdata)
            return false;
    }
    if (elements != 1)
        return false;

    // Iterative walk: a deeply nested file must not exhaust the stack.
    struct Pending
    {
        pugi::xml_node source;
        XmlNode* parent; // null: top level
        int depth;
    };
    std::vector<Pending> stack;
    for (auto child = source.last_child(); child; child = child.previous_sibling())
        stack.push_back({child, nullptr, 1});
    std::vector<XmlNodePtr> top;
    while (!stack.empty())
    {
        const Pending item = stack.back();
        stack.pop_back();
        auto node = Convert(item.source, owner);
        if (!node)
            continue;
        if (item.depth > kMaxXmlDepth || HasDuplicateAttribute(item.source))
            return false;
        if (item.parent)
            XmlTreeAccess::AddChild(*item.parent, node);
        else
            top.push_back(node);
        for (auto child = item.source.last_child(); child; child = child.previous_sibling())
            stack.push_back({child, node.get(), item.depth + 1});
    }
    nodes = std::move(top);
    return true;
}
