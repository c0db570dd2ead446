// Parses UTF-8 XML text with pugixml into our node tree.
#pragma once

#include "platform/xml/xml_dom.h"

#include <string_view>
#include <vector>

// The document's top-level nodes, or false for text that is not one
// well-formed document (no root, two roots, text outside the root, nesting
// deeper than kMaxXmlDepth).
bool ParseXmlText(std::string_view utf8, const XmlDocumentPtr& owner,
                  std::vector<XmlNodePtr>& nodes);

constexpr int kMaxXmlDepth = 4096;
