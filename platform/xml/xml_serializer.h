// Our serialiser: writes nodes exactly as the program's files expect them
// (no declaration added, no indentation, no white space between nodes).
#pragma once

#include "platform/xml/xml_dom.h"

#include <string>
#include <string_view>

struct XmlWriteOptions
{
    // Characters above ASCII in text and attribute values become character
    // references; used when the declared encoding cannot hold them.
    bool asciiOnlyValues = false;
};

void SerializeXmlNode(const XmlNode& node, std::u16string& out,
                      const XmlWriteOptions& options = {});

// Attribute values: `&`, `<` and `"` escaped, everything else as it is
// (CR LF stays a raw pair, which the line-break-keeping read relies on).
void AppendEscapedAttributeValue(std::u16string_view value, std::u16string& out,
                                 bool asciiOnly = false);
// Text content: `&`, `<` and `>` escaped.
void AppendEscapedText(std::u16string_view text, std::u16string& out, bool asciiOnly = false);
