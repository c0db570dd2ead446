#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace SMailer
{
// Longest text line SMTP carries, without its CR LF (RFC 5321 4.5.3.1.6).
constexpr std::size_t kMaxLineLength = 998;
// Longest header line that readers are sure to show whole (RFC 5322 2.1.1).
constexpr std::size_t kFoldedLineLength = 78;

// CR LF, a lone LF and a lone CR all become CR LF: the data phase knows no other line end.
std::string NormalizeLineEnds(std::string_view text);

// Length of the longest line of CR LF text, without its line end.
std::size_t LongestLine(std::string_view text);

// RFC 2045 quoted-printable of CR LF text: hard line breaks stay, every output
// line has at most 76 characters.
std::string QuotedPrintable(std::string_view text);

// Header text in encoded words (RFC 2047, "B" form), each holding whole
// characters of `charset` ("gb2312", "gbk" or "utf-8") and at most 75
// characters long, separated by a folding CR LF and space, so that no line
// holding one passes 76 characters. `used` is how much of the first line is
// taken already.
std::string EncodedWords(std::string_view bytes, std::string_view charset, std::size_t used);

// Unstructured text folded before white space so lines stay within 78
// characters where a word allows it; nothing when a line would still pass 998.
// `used` as above.
std::optional<std::string> FoldAtWhiteSpace(std::string_view value, std::size_t used);

// Unstructured header text (the subject): ASCII folded at white space, or
// encoded words when it is not ASCII, looks like an encoded word, or cannot be
// folded within 998. `nameLength` is the length of "Name: " in front of it.
std::string HeaderText(std::string_view value, std::string_view charset, std::size_t nameLength);

// A display name followed by one space, ready to stand before "<address>":
// empty for an empty name, a quoted string for short ASCII, otherwise encoded
// words (`used` as above). Quotes and backslashes inside are escaped, so a
// name never adds an address.
std::string DisplayNamePhrase(std::string_view name, std::string_view charset, std::size_t used);
} // namespace SMailer
