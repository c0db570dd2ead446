// The free functions every XML file of the program goes through (the
// configuration file, saved topics, the room tree, the category list).
// They fix how names are matched (base names, ASCII case ignored) and how
// attribute values are converted (text or 32-bit integer, atoi rules).
//
// Error model: functions report "none" as a null pointer and boolean
// outcomes as 1/0; a failing DOM call inside them (a null node, an invalid
// name) raises _com_error, which they do not catch.
#pragma once

#include "platform/com_types.h"
#include "platform/xml/xml_dom.h"

#include <cstdint>
#include <string>
#include <string_view>

// A new, empty document (null only when none can be made).
XmlDocumentPtr CreateXmlDocument();

// A document holding the parsed file; empty (no children) for a missing or
// malformed file or an empty path; null when path is null.
XmlDocumentPtr LoadXmlDocument(const OLECHAR* path);
XmlDocumentPtr LoadXmlDocument(const std::u16string& path);

// 1 when the document was written (the file is replaced), else 0.
int SaveXmlDocument(const OLECHAR* path, const XmlDocumentPtr& document);
int SaveXmlDocument(const std::u16string& path, const XmlDocumentPtr& document);

// The first child node of a node or document, or null.
XmlNodePtr GetFirstChild(const XmlNodePtr& node);

// The first child whose base name (the name without a namespace prefix)
// equals name, ASCII case ignored: finds elements and processing
// instructions alike. Null when there is none.
XmlNodePtr FindChildByName(const XmlNodePtr& node, std::string_view name);

// A new element appended as the last child of parent, or of the document
// itself when parent is null. Null when the element cannot be created.
XmlElementPtr AppendElement(const XmlDocumentPtr& document, const XmlNodePtr& parent,
                            std::u16string_view name);

// Sets the attribute (replacing one of the same name) from a VT_BSTR value
// (unchanged) or VT_I4 value (decimal text); other types store their text
// form. 1 on success, 0 when the attribute cannot be created.
int SetXmlAttribute(const XmlDocumentPtr& document, const XmlElementPtr& element,
                    std::u16string_view name, const _variant_t& value);

// Reads the attribute (exact name) as requested: VT_I4 by atoi rules, else
// VT_BSTR. 1 and the value; 0 with `value` untouched when it is absent.
int GetXmlAttribute(const XmlElementPtr& element, std::u16string_view name, VARTYPE requestedType,
                    _variant_t& value);

// Attribute readers that leave `out` as it is when the attribute is absent
// or does not convert.
void ReadXmlInt(const XmlElementPtr& element, std::u16string_view name, std::int32_t& out);
void ReadXmlText(const XmlElementPtr& element, std::u16string_view name, std::string& out);
// As GetXmlAttribute, but when the attribute's serialised text holds a
// CR LF pair the value is taken from that text between =" and the next ",
// unchanged: line breaks kept, entity references left as serialised
// (a & b on two lines reads as "a &amp; b\r\n...").
int GetXmlAttributeKeepingLineBreaks(const XmlElementPtr& element, std::u16string_view name,
                                     VARTYPE requestedType, _variant_t& value);

// atoi rules on UTF-16 text: leading white space, an optional sign, the
// digits up to the first non-digit; 0 when there are none. Values beyond
// the 32-bit range are clamped rather than wrapped.
std::int32_t AtoiWide(std::u16string_view text);

// Decodes the entity and character references that serialised attribute
// text carries (&amp; &lt; &gt; &quot; &apos; &#N; &#xN;); anything else,
// an unknown or unterminated reference included, is kept as it stands.
std::u16string DecodeXmlReferences(std::u16string_view text);
