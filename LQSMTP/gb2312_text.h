#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace SMailer
{
bool IsValidUtf8(std::string_view bytes);

// UTF-8 to code page 936 (GBK, the superset of GB2312). Nothing when the input
// is not UTF-8 or holds a character that code page cannot carry.
std::optional<std::string> GbkFromUtf8(std::string_view utf8);

// The character sets a mail goes out in, narrowest first.
enum class MailCharset
{
    Gb2312,
    Gbk,
    Utf8
};

// The name a mail declares: "gb2312", "gbk" or "utf-8".
const char* CharsetName(MailCharset charset);

// A caller's text as bytes of `charset`, or nothing when that charset cannot
// hold it. Texts reach the library as UTF-8; UTF-8 cut short or holding a
// stray byte still counts as UTF-8 (those bytes become U+FFFD), and other
// bytes that are not UTF-8 are taken to be code page 936 from an older caller.
std::optional<std::string> TextInCharset(std::string_view text, MailCharset charset);

// The narrowest charset that holds every one of the texts; nothing when none
// does (bytes that are neither UTF-8 nor code page 936).
std::optional<MailCharset> CharsetFor(std::initializer_list<std::string_view> texts);

// A caller's text as UTF-8 whatever it holds: read as TextInCharset reads it,
// each byte it cannot read becoming U+FFFD.
std::string Utf8Lossy(std::string_view text);
} // namespace SMailer
