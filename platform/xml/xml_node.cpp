#include "platform/xml/xml_dom.h"

#include "platform/xml/xml_names.h"
#include "platform/xml/xml_serializer.h"
#include "platform/xml/xml_tree_access.h"

#include <algorithm>

namespace
{
constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

[[noreturn]] void Fail(HRESULT hr, const char* description)
{
    throw _com_error(hr, description);
}

bool IsDeclaration(const XmlNode& node)
{
    return node.nodeType() == NODE_PROCESSING_INSTRUCTION && node.nodeName() == u"xml";
}

void CollectText(const XmlNode& node, std::u16string& out)
{
    for (const auto& child : XmlTreeAccess::Children(node))
    {
        const auto type = child->nodeType();
        if (type == NODE_TEXT || type == NODE_CDATA_SECTION)
            out += XmlTreeAccess::Value(*child);
        else if (type == NODE_ELEMENT)
            CollectText(*child, out);
    }
}
} // namespace

void XmlTreeAccess::ReplaceChildren(XmlNode& parent, std::vector<XmlNodePtr> children)
{
    for (const auto& old : parent.m_children)
        old->m_parent.reset();
    parent.m_children = std::move(children);
    for (const auto& child : parent.m_children)
        child->m_parent = parent.weak_from_this();
}

XmlNode::XmlNode(XmlNodeType type, std::u16string name, std::u16string value)
    : m_type(type), m_name(std::move(name)), m_value(std::move(value))
{
}

XmlNode::~XmlNode() = default;

std::u16string XmlNode::nodeName() const
{
    switch (m_type)
    {
    case NODE_TEXT:
        return u"#text";
    case NODE_CDATA_SECTION:
        return u"#cdata-section";
    case NODE_COMMENT:
        return u"#comment";
    case NODE_DOCUMENT:
        return u"#document";
    default:
        return m_name;
    }
}

std::u16string XmlNode::baseName() const
{
    switch (m_type)
    {
    case NODE_ELEMENT:
    case NODE_ATTRIBUTE:
    case NODE_PROCESSING_INSTRUCTION:
    case NODE_DOCUMENT_TYPE:
        return std::u16string(XmlBaseName(m_name));
    default:
        return {};
    }
}

std::u16string XmlNode::prefix() const
{
    if (m_type == NODE_ELEMENT || m_type == NODE_ATTRIBUTE)
        return std::u16string(XmlPrefix(m_name));
    return {};
}

std::u16string XmlNode::nodeValue() const
{
    switch (m_type)
    {
    case NODE_ELEMENT:
    case NODE_DOCUMENT:
    case NODE_DOCUMENT_TYPE:
        return {};
    default:
        return m_value;
    }
}

void XmlNode::put_nodeValue(std::u16string_view value)
{
    switch (m_type)
    {
    case NODE_ELEMENT:
    case NODE_DOCUMENT:
    case NODE_DOCUMENT_TYPE:
        Fail(E_FAIL, "This operation can not be performed with a node of this type.");
    case NODE_PROCESSING_INSTRUCTION:
        if (value.find(u"?>") != std::u16string_view::npos)
            Fail(E_FAIL, "A processing instruction's data may not contain \"?>\".");
        break;
    default:
        break;
    }
    m_value.assign(value);
}

std::u16string XmlNode::text() const
{
    if (m_type == NODE_ELEMENT || m_type == NODE_DOCUMENT)
    {
        std::u16string out;
        CollectText(*this, out);
        return out;
    }
    if (m_type == NODE_DOCUMENT_TYPE)
        return {};
    return m_value;
}

void XmlNode::put_text(std::u16string_view text)
{
    if (m_type != NODE_ELEMENT)
    {
        put_nodeValue(text);
        return;
    }
    std::vector<XmlNodePtr> children;
    if (!text.empty())
        children.push_back(
            XmlTreeAccess::Make(NODE_TEXT, {}, std::u16string(text), m_owner.lock()));
    XmlTreeAccess::ReplaceChildren(*this, std::move(children));
}

std::u16string XmlNode::xml() const
{
    std::u16string out;
    SerializeXmlNode(*this, out);
    return out;
}

XmlNodePtr XmlNode::parentNode() const
{
    if (m_type == NODE_ATTRIBUTE)
        return nullptr;
    return m_parent.lock();
}

XmlNodePtr XmlNode::firstChild() const
{
    return m_children.empty() ? nullptr : m_children.front();
}

XmlNodePtr XmlNode::lastChild() const
{
    return m_children.empty() ? nullptr : m_children.back();
}

XmlNodePtr XmlNode::previousSibling() const
{
    const auto parent = parentNode();
    if (!parent)
        return nullptr;
    const auto index = parent->indexOfChild(this);
    return index == kNotFound || index == 0 ? nullptr : parent->m_children[index - 1];
}

XmlNodePtr XmlNode::nextSibling() const
{
    const auto parent = parentNode();
    if (!parent)
        return nullptr;
    const auto index = parent->indexOfChild(this);
    return index == kNotFound || index + 1 >= parent->m_children.size()
               ? nullptr
               : parent->m_children[index + 1];
}

XmlNodeListPtr XmlNode::childNodes()
{
    return std::make_shared<XmlNodeList>(shared_from_this());
}

XmlNamedNodeMapPtr XmlNode::attributes()
{
    if (m_type != NODE_ELEMENT)
        return nullptr;
    return std::make_shared<XmlNamedNodeMap>(shared_from_this());
}

XmlDocumentPtr XmlNode::ownerDocument() const
{
    return m_owner.lock();
}

std::size_t XmlNode::indexOfChild(const XmlNode* child) const
{
    for (std::size_t i = 0; i < m_children.size(); ++i)
    {
        if (m_children[i].get() == child)
            return i;
    }
    return kNotFound;
}

void XmlNode::detachFromParent()
{
    // The parent's list may hold the last reference to this node.
    const auto self = shared_from_this();
    if (const auto parent = m_parent.lock())
    {
        if (m_type == NODE_ATTRIBUTE)
        {
            auto& list = parent->m_attributes;
            list.erase(std::remove_if(list.begin(), list.end(),
                                      [this](const XmlNodePtr& a) { return a.get() == this; }),
                       list.end());
        }
        else
        {
            const auto index = parent->indexOfChild(this);
            if (index != kNotFound)
                parent->m_children.erase(parent->m_children.begin() + static_cast<long>(index));
        }
    }
    m_parent.reset();
}

void XmlNode::insertAt(const XmlNodePtr& newChild, std::size_t position)
{
    newChild->m_parent = weak_from_this();
    m_children.insert(m_children.begin() + static_cast<long>(position), newChild);
    // Nodes moved in from another document now belong to this one.
    const auto owner = m_type == NODE_DOCUMENT
                           ? std::static_pointer_cast<XmlDocument>(shared_from_this())
                           : m_owner.lock();
    std::vector<XmlNode*> pending{newChild.get()};
    while (!pending.empty())
    {
        XmlNode* node = pending.back();
        pending.pop_back();
        node->m_owner = owner;
        for (const auto& a : node->m_attributes)
            a->m_owner = owner;
        for (const auto& c : node->m_children)
            pending.push_back(c.get());
    }
}

namespace
{
// Checks that newChild may stand at `position` (counted after it has been
// taken out of its old place) among parent's children, `replaced` being a
// child that leaves at the same time. Raises when it may not.
void CheckInsertion(const XmlNode& parent, const std::vector<XmlNodePtr>& children,
                    const XmlNodePtr& newChild, std::size_t position, const XmlNode* replaced)
{
    if (!newChild)
        Fail(E_INVALIDARG, "The node to insert is null.");
    const auto parentType = parent.nodeType();
    if (parentType != NODE_ELEMENT && parentType != NODE_DOCUMENT)
        Fail(E_FAIL, "This operation can not be performed with a node of this type.");
    const auto type = newChild->nodeType();
    if (type == NODE_ATTRIBUTE || type == NODE_DOCUMENT || type == NODE_INVALID)
        Fail(E_FAIL, "Insert of a node of this type is not allowed.");
    for (auto ancestor = parent.weak_from_this().lock(); ancestor;
         ancestor = ancestor->parentNode())
    {
        if (ancestor == newChild)
            Fail(E_FAIL, "A node cannot be inserted into its own subtree.");
    }
    const bool declaration = IsDeclaration(*newChild);
    if (parentType == NODE_ELEMENT)
    {
        if (declaration || type == NODE_DOCUMENT_TYPE)
            Fail(E_FAIL, "This node may only stand at the top level of a document.");
        return;
    }
    if (type == NODE_TEXT || type == NODE_CDATA_SECTION)
        Fail(E_FAIL, "Text may not stand at the top level of a document.");
    const XmlNode* first = nullptr;
    for (const auto& child : children)
    {
        if (child.get() == newChild.get() || child.get() == replaced)
            continue;
        if (!first)
            first = child.get();
        if (type == NODE_ELEMENT && child->nodeType() == NODE_ELEMENT)
            Fail(E_FAIL, "Only one top level element is allowed in an XML document.");
        if (declaration && IsDeclaration(*child))
            Fail(E_FAIL, "A document can hold only one XML declaration.");
    }
    if (declaration && position != 0)
        Fail(E_FAIL, "The XML declaration must be the first node of the document.");
    if (!declaration && position == 0 && first && IsDeclaration(*first))
        Fail(E_FAIL, "No node may stand before the XML declaration.");
}
} // namespace

XmlNodePtr XmlNode::appendChild(const XmlNodePtr& newChild)
{
    return insertBefore(newChild, nullptr);
}

XmlNodePtr XmlNode::insertBefore(const XmlNodePtr& newChild, const XmlNodePtr& refChild)
{
    if (newChild && newChild == refChild)
        return newChild;
    std::size_t refIndex = m_children.size();
    if (refChild)
    {
        refIndex = indexOfChild(refChild.get());
        if (refIndex == kNotFound)
            Fail(E_INVALIDARG, "The reference node is not a child of this node.");
    }
    std::size_t position = refIndex;
    if (newChild && newChild->m_parent.lock().get() == this && newChild->m_type != NODE_ATTRIBUTE)
    {
        const auto oldIndex = indexOfChild(newChild.get());
        if (oldIndex != kNotFound && oldIndex < refIndex)
            --position;
    }
    CheckInsertion(*this, m_children, newChild, position, nullptr);
    newChild->detachFromParent();
    insertAt(newChild, position);
    return newChild;
}

XmlNodePtr XmlNode::removeChild(const XmlNodePtr& child)
{
    if (!child)
        Fail(E_INVALIDARG, "The node to remove is null.");
    if (child->m_type == NODE_ATTRIBUTE || indexOfChild(child.get()) == kNotFound)
        Fail(E_INVALIDARG, "The node is not a child of this node.");
    child->detachFromParent();
    return child;
}

XmlNodePtr XmlNode::replaceChild(const XmlNodePtr& newChild, const XmlNodePtr& oldChild)
{
    if (!oldChild || oldChild->m_type == NODE_ATTRIBUTE)
        Fail(E_INVALIDARG, "The node to replace is not a child of this node.");
    const auto oldIndex = indexOfChild(oldChild.get());
    if (oldIndex == kNotFound)
        Fail(E_INVALIDARG, "The node to replace is not a child of this node.");
    if (newChild == oldChild)
        return oldChild;
    std::size_t position = oldIndex;
    if (newChild && newChild->m_parent.lock().get() == this && newChild->m_type != NODE_ATTRIBUTE)
    {
        const auto newIndex = indexOfChild(newChild.get());
        if (newIndex != kNotFound && newIndex < oldIndex)
            --position;
    }
    CheckInsertion(*this, m_children, newChild, position, oldChild.get());
    newChild->detachFromParent();
    oldChild->detachFromParent();
    insertAt(newChild, position);
    return oldChild;
}

void XmlNode::checkElement() const
{
    if (m_type != NODE_ELEMENT)
        Fail(E_NOINTERFACE, "The node is not an element.");
}

std::size_t XmlNode::indexOfAttribute(std::u16string_view name) const
{
    for (std::size_t i = 0; i < m_attributes.size(); ++i)
    {
        if (m_attributes[i]->m_name == name)
            return i;
    }
    return kNotFound;
}

_variant_t XmlNode::getAttribute(std::u16string_view name) const
{
    checkElement();
    const auto index = indexOfAttribute(name);
    if (index == kNotFound)
    {
        _variant_t null;
        null.vt = VT_NULL;
        return null;
    }
    return _variant_t(std::u16string_view(m_attributes[index]->m_value));
}

void XmlNode::setAttribute(std::u16string_view name, std::u16string_view value)
{
    checkElement();
    const auto index = indexOfAttribute(name);
    if (index != kNotFound)
    {
        m_attributes[index]->m_value.assign(value);
        return;
    }
    if (!IsValidXmlName(name))
        Fail(E_FAIL, "The attribute name is not a valid XML name.");
    auto attribute = XmlTreeAccess::Make(NODE_ATTRIBUTE, std::u16string(name),
                                         std::u16string(value), m_owner.lock());
    XmlTreeAccess::AddAttribute(*this, attribute);
}

void XmlNode::removeAttribute(std::u16string_view name)
{
    checkElement();
    const auto index = indexOfAttribute(name);
    if (index != kNotFound)
        m_attributes[index]->detachFromParent();
}

XmlAttributePtr XmlNode::getAttributeNode(std::u16string_view name) const
{
    checkElement();
    const auto index = indexOfAttribute(name);
    return index == kNotFound ? nullptr : m_attributes[index];
}

XmlAttributePtr XmlNode::setAttributeNode(const XmlAttributePtr& attribute)
{
    checkElement();
    if (!attribute || attribute->m_type != NODE_ATTRIBUTE)
        Fail(E_INVALIDARG, "The node is not an attribute.");
    const auto owner = attribute->m_parent.lock();
    if (owner.get() == this)
        return nullptr;
    if (owner)
        Fail(E_FAIL, "The attribute already belongs to another element.");
    const auto index = indexOfAttribute(attribute->m_name);
    attribute->m_parent = weak_from_this();
    attribute->m_owner = m_owner;
    if (index == kNotFound)
    {
        m_attributes.push_back(attribute);
        return nullptr;
    }
    // Replaced in place, so the attribute order of the element is kept.
    auto old = m_attributes[index];
    old->m_parent.reset();
    m_attributes[index] = attribute;
    return old;
}

XmlNodePtr XmlNode::ownerElement() const
{
    return m_type == NODE_ATTRIBUTE ? m_parent.lock() : nullptr;
}

long XmlNodeList::length() const
{
    return m_parent ? static_cast<long>(m_parent->m_children.size()) : 0;
}

XmlNodePtr XmlNodeList::item(long index) const
{
    if (!m_parent || index < 0 || index >= length())
        return nullptr;
    return m_parent->m_children[static_cast<std::size_t>(index)];
}

long XmlNamedNodeMap::length() const
{
    return static_cast<long>(m_element->m_attributes.size());
}

XmlAttributePtr XmlNamedNodeMap::item(long index) const
{
    if (index < 0 || index >= length())
        return nullptr;
    return m_element->m_attributes[static_cast<std::size_t>(index)];
}

XmlAttributePtr XmlNamedNodeMap::getNamedItem(std::u16string_view name) const
{
    return m_element->getAttributeNode(name);
}

XmlAttributePtr XmlNamedNodeMap::setNamedItem(const XmlAttributePtr& attribute)
{
    return m_element->setAttributeNode(attribute);
}

XmlAttributePtr XmlNamedNodeMap::removeNamedItem(std::u16string_view name)
{
    auto attribute = m_element->getAttributeNode(name);
    if (attribute)
        attribute->detachFromParent();
    return attribute;
}
