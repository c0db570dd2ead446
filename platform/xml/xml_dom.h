// A small XML DOM in the classic DOMDocument shape: reference-counted
// nodes handed out as shared pointers (null = none), live child lists (length()/item(i)), attribute
// maps, and the `xml` text of any node. Parsing is done by pugixml; serialising is our own, so the
// saved bytes are exactly what callers expect:
//   - UTF-8, no declaration added, no indentation, no white space added;
//   - attribute values escape `&`, `<` and `"`, everything else (CR LF
//     included) is written as it is; text escapes `&`, `<` and `>`;
//   - a document whose own declaration names another encoding (gb2312 from
//     the community) is read from and written in that encoding.
// Parse defaults: white-space-only text between elements makes no text
// nodes; declarations, processing instructions, comments and a doctype
// ahead of the root are children of the document. Attribute values keep
// their line breaks exactly as they stand in the file (no normalisation),
// so a value written with CR LF reads back with CR LF.
//
// Error model: failing DOM calls (invalid names, inserting a node where it
// may not go, calls on the wrong node type) raise _com_error with a
// description; load/save report failure as false.
#pragma once

#include "platform/com_types.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum XmlNodeType
{
    NODE_INVALID = 0,
    NODE_ELEMENT = 1,
    NODE_ATTRIBUTE = 2,
    NODE_TEXT = 3,
    NODE_CDATA_SECTION = 4,
    NODE_PROCESSING_INSTRUCTION = 7, // the xml declaration is one too ("xml")
    NODE_COMMENT = 8,
    NODE_DOCUMENT = 9,
    NODE_DOCUMENT_TYPE = 10,
};

class XmlNode;
class XmlDocument;
class XmlNodeList;
class XmlNamedNodeMap;

using XmlNodePtr = std::shared_ptr<XmlNode>;
using XmlElementPtr = XmlNodePtr;   // an XmlNode of type NODE_ELEMENT
using XmlAttributePtr = XmlNodePtr; // an XmlNode of type NODE_ATTRIBUTE
using XmlDocumentPtr = std::shared_ptr<XmlDocument>;
using XmlNodeListPtr = std::shared_ptr<XmlNodeList>;
using XmlNamedNodeMapPtr = std::shared_ptr<XmlNamedNodeMap>;

class XmlNode : public std::enable_shared_from_this<XmlNode>
{
public:
    virtual ~XmlNode();
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;

    XmlNodeType nodeType() const { return m_type; }
    // Element/attribute name with its prefix, PI target, "#text",
    // "#cdata-section", "#comment", "#document", or the doctype's name.
    std::u16string nodeName() const;
    // The name without a namespace prefix ("x:Topic" -> "Topic").
    std::u16string baseName() const;
    std::u16string prefix() const;

    // Attribute value, text/CDATA/comment content or PI data; empty for
    // elements and documents. put_nodeValue raises on those.
    std::u16string nodeValue() const;
    void put_nodeValue(std::u16string_view value);

    // Elements and documents: the concatenated text of all descendant text
    // and CDATA nodes. Others: as nodeValue. put_text on an element
    // replaces its children by one text node.
    std::u16string text() const;
    void put_text(std::u16string_view text);

    // The node serialised as it would be saved (an attribute: name="value").
    std::u16string xml() const;

    // Tree navigation; null when there is none. Attributes have no parent.
    XmlNodePtr parentNode() const;
    XmlNodePtr firstChild() const;
    XmlNodePtr lastChild() const;
    XmlNodePtr previousSibling() const;
    XmlNodePtr nextSibling() const;
    bool hasChildNodes() const { return !m_children.empty(); }
    XmlNodeListPtr childNodes();
    // Null for anything but an element.
    XmlNamedNodeMapPtr attributes();
    XmlDocumentPtr ownerDocument() const;

    // Structure changes. A node that has a parent is moved. Raise
    // _com_error for a null node, a node that may not go there (text in a
    // document, a second root element, a node into its own subtree, a
    // declaration anywhere but first in a document) or a reference node that
    // is not a child. Each returns the inserted/removed node.
    XmlNodePtr appendChild(const XmlNodePtr& newChild);
    XmlNodePtr insertBefore(const XmlNodePtr& newChild, const XmlNodePtr& refChild);
    XmlNodePtr removeChild(const XmlNodePtr& child);
    XmlNodePtr replaceChild(const XmlNodePtr& newChild, const XmlNodePtr& oldChild);

    // Element operations (raise _com_error(E_NOINTERFACE) on other nodes).
    // getAttribute gives VT_BSTR, or VT_NULL when the attribute is absent.
    _variant_t getAttribute(std::u16string_view name) const;
    void setAttribute(std::u16string_view name, std::u16string_view value);
    void removeAttribute(std::u16string_view name);
    XmlAttributePtr getAttributeNode(std::u16string_view name) const;
    // Returns the attribute it replaced, or null.
    XmlAttributePtr setAttributeNode(const XmlAttributePtr& attribute);

    // The owning element of an attribute node (null when unattached).
    XmlNodePtr ownerElement() const;

protected:
    XmlNode(XmlNodeType type, std::u16string name, std::u16string value);

private:
    friend class XmlDocument;
    friend class XmlNodeList;
    friend class XmlNamedNodeMap;
    friend struct XmlTreeAccess;

    void checkElement() const;
    std::size_t indexOfChild(const XmlNode* child) const; // npos when absent
    void insertAt(const XmlNodePtr& newChild, std::size_t position);
    void detachFromParent();
    std::size_t indexOfAttribute(std::u16string_view name) const;

    XmlNodeType m_type;
    std::u16string m_name;           // element/attribute name, PI target, doctype text
    std::u16string m_value;          // text, attribute value, PI data, comment
    std::weak_ptr<XmlNode> m_parent; // the owning element for attributes
    std::weak_ptr<XmlDocument> m_owner;
    std::vector<XmlNodePtr> m_children;
    std::vector<XmlAttributePtr> m_attributes;
};

// A live view of a node's children: length and items follow later changes.
class XmlNodeList
{
public:
    explicit XmlNodeList(XmlNodePtr parent) : m_parent(std::move(parent)) {}
    long length() const;
    XmlNodePtr item(long index) const; // null when out of range

private:
    XmlNodePtr m_parent;
};

// A live view of an element's attributes, in document order.
class XmlNamedNodeMap
{
public:
    explicit XmlNamedNodeMap(XmlNodePtr element) : m_element(std::move(element)) {}
    long length() const;
    XmlAttributePtr item(long index) const; // null when out of range
    // Exact (case-sensitive) name match; null when absent.
    XmlAttributePtr getNamedItem(std::u16string_view name) const;
    // Adds the attribute, replacing one of the same name in its place.
    // Returns the replaced attribute or null. Raises for a non-attribute or
    // one that already belongs to another element.
    XmlAttributePtr setNamedItem(const XmlAttributePtr& attribute);
    XmlAttributePtr removeNamedItem(std::u16string_view name); // null when absent

private:
    XmlNodePtr m_element;
};

class XmlDocument : public XmlNode
{
public:
    // A new, empty document.
    static XmlDocumentPtr Create();

    // Factories; the names are checked as XML names (raise _com_error).
    XmlElementPtr createElement(std::u16string_view name);
    XmlAttributePtr createAttribute(std::u16string_view name);
    XmlNodePtr createTextNode(std::u16string_view text);
    XmlNodePtr createCDATASection(std::u16string_view data);
    XmlNodePtr createComment(std::u16string_view text);
    // Target "xml" makes a declaration, e.g. (u"xml", u"version=\"1.0\" encoding=\"gb2312\"").
    XmlNodePtr createProcessingInstruction(std::u16string_view target, std::u16string_view data);

    // The root element, or null.
    XmlElementPtr documentElement() const;

    // Replaces the content with the parsed file (path in UTF-8). A missing,
    // unreadable or malformed file leaves the document empty and gives false.
    bool load(const std::string& path);
    // Same, from text already in memory (UTF-16, no encoding to apply).
    bool loadXML(std::u16string_view xml);
    // Writes the serialised document to path: beside it first, then renamed
    // over it, so a failed save never leaves a cut file. Encoded as the
    // document's declaration says (UTF-8 without one). False on any failure,
    // the old file then stays as it was.
    bool save(const std::string& path) const;

    // The encoding named by the document's declaration, empty without one.
    std::u16string declaredEncoding() const;
    // The serialised document in the bytes save() would write; false when
    // the declared encoding cannot represent it or is unknown.
    bool serializeToBytes(std::string& bytes) const;

private:
    XmlDocument();
};
