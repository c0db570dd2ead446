// Which encoding an XML file's bytes are in, and conversion to and from
// the UTF-8 the parser and serialiser work in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The encoding named in the declaration's data ("version="1.0"
// encoding="gb2312"" -> "gb2312"); empty when it names none.
std::string EncodingFromDeclarationData(std::string_view data);

// True for the names of UTF-8 itself (or an empty name).
bool IsUtf8EncodingName(std::string_view name);

// The file's bytes as UTF-8: a byte order mark decides first, then the
// encoding the declaration names; bytes that do not convert cleanly are
// decoded leniently rather than refused, so a file's text is not lost.
std::string XmlBytesToUtf8(std::string_view bytes);

// UTF-8 text in the named encoding; nullopt when the encoding is unknown
// or cannot represent the text.
std::optional<std::string> Utf8ToXmlEncoding(std::string_view utf8, std::string_view encoding);
