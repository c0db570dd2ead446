// Internal: direct access to the node tree for the parser and serialiser,
// which would otherwise go through live lists for every step.
#pragma once

#include "platform/xml/xml_dom.h"

struct XmlTreeAccess
{
    static XmlNodePtr Make(XmlNodeType type, std::u16string name, std::u16string value,
                           const XmlDocumentPtr& owner)
    {
        XmlNodePtr node(new XmlNode(type, std::move(name), std::move(value)));
        node->m_owner = owner;
        return node;
    }
    static const std::vector<XmlNodePtr>& Children(const XmlNode& node) { return node.m_children; }
    static const std::vector<XmlAttributePtr>& Attributes(const XmlNode& node)
    {
        return node.m_attributes;
    }
    static const std::u16string& Name(const XmlNode& node) { return node.m_name; }
    static const std::u16string& Value(const XmlNode& node) { return node.m_value; }

    // Building a freshly parsed tree: no checks, the parser knows the shape.
    static void AddChild(XmlNode& parent, const XmlNodePtr& child)
    {
        child->m_parent = parent.weak_from_this();
        parent.m_children.push_back(child);
    }
    static void AddAttribute(XmlNode& element, const XmlAttributePtr& attribute)
    {
        attribute->m_parent = element.weak_from_this();
        element.m_attributes.push_back(attribute);
    }
    static void ReplaceChildren(XmlNode& parent, std::vector<XmlNodePtr> children);
};
