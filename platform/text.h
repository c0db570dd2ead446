// Text conversions. Narrow text is UTF-8 (this platform's system code page);
// wide text is UTF-16. GB2312/GBK and other charsets go through iconv.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Malformed UTF-8 decodes to U+FFFD, lone surrogates encode as U+FFFD.
std::u16string Utf16FromUtf8(std::string_view utf8);
std::string Utf8FromUtf16(std::u16string_view wide);
bool IsValidUtf8(std::string_view bytes);
// Appends the UTF-8 form of one code point (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t cp);

// Converts between any two charsets iconv knows; nullopt when a charset is
// unknown or the input cannot be converted. Charset names are normalised
// first (gb2312 and gbk are read as CP936, the superset the community uses).
std::optional<std::string> ConvertCharset(std::string_view bytes, std::string_view from,
                                          std::string_view to);
std::string NormalizeCharsetName(std::string_view name);

// GBK (code page 936) <-> UTF-8. Unconvertible input is replaced ('?' when
// encoding, U+FFFD when decoding) rather than dropped.
std::string Utf8FromGbk(std::string_view gbk);
std::string GbkFromUtf8(std::string_view utf8);

// Decodes downloaded bytes that declare `charset` (empty: UTF-8) to UTF-8,
// dropping a UTF-8 BOM. Falls back to GBK for invalid UTF-8 and to a lossy
// UTF-8 read when the charset is unknown.
std::string DecodeToUtf8(std::string_view bytes, std::string_view charset);

// ASCII case folding (the platform's lstrcmpi for names that matter here).
bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b);
bool EqualsIgnoreCaseAscii(std::u16string_view a, std::u16string_view b);
std::string ToLowerAscii(std::string_view text);
