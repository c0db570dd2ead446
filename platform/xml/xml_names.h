// XML name rules the DOM enforces on the names callers give it.
#pragma once

#include <string_view>

// A name as XML 1.0 allows it (ASCII checked strictly, other characters
// accepted as name characters); prefixes ("x:Topic") are allowed.
bool IsValidXmlName(std::u16string_view name);

// "x:Topic" -> "Topic" / "x"; a name without a colon is its own base name.
std::u16string_view XmlBaseName(std::u16string_view name);
std::u16string_view XmlPrefix(std::u16string_view name);
