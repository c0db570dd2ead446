#pragma once

#include <string>
#include <string_view>

namespace MUtils
{
extern const char* const kBase64Alphabet;

// Standard RFC 2045 alphabet with "=" padding and no line breaks.
std::string Base64Encode(std::string_view bytes);
} // namespace MUtils
