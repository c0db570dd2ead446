#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace SMailer
{
bool IsValidUtf8(std::string_view bytes);

// UTF-8 to code page 936 (GBK, the superset of GB2312 that mail readers use
// for "gb2312"). Nothing when the input is not UTF-8 or holds a character
// that code page cannot carry.
std::optional<std::string> GbkFromUtf8(std::string_view utf8);

// Texts reach the library as UTF-8 and leave it in GB2312, as the mail
// declares. Bytes that are not UTF-8 are taken to be GB2312 already and pass
// unchanged; UTF-8 that GB2312 cannot carry also passes unchanged, so no text
// is ever lost.
std::string MailTextFromCaller(std::string_view text);
} // namespace SMailer
