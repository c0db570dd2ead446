// Transfer encodings of archive parts. The quoted-printable encoder keeps
// every byte recoverable: only CR LF pairs become hard line breaks, a lone
// CR or LF is written as =0D / =0A, and long lines get soft breaks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

std::string EncodeQuotedPrintable(std::string_view bytes);
// Lenient: a malformed =XX sequence is kept as it stands.
std::string DecodeQuotedPrintable(std::string_view text);

// Lines of 76 characters separated by CR LF.
std::string EncodeBase64Lines(std::string_view bytes);
// Skips line breaks and other whitespace; nullopt on any other stray byte.
std::optional<std::string> DecodeBase64(std::string_view text);
// For damaged archives: skips every byte outside the alphabet and stops at
// the first '='.
std::string DecodeBase64Lenient(std::string_view text);
