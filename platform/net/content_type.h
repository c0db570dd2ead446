// Content-Type values: splitting off the charset, guessing a type from a
// file name, and deciding which parts of an archive are text.
#pragma once

#include <string>
#include <string_view>

struct ContentType
{
    std::string mimeType; // lower case, no parameters; empty when none was given
    std::string charset;  // as written, quotes removed; empty when absent
};

ContentType ParseContentType(std::string_view header);

// Type from the path's extension (".png" -> image/png); empty when unknown.
std::string GuessMimeType(std::string_view urlOrPath);

// Text types travel quoted-printable in an archive, the rest base64.
bool IsTextMimeType(std::string_view mimeType);
