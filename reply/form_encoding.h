// The form encoding the community's reply script reads: the text's GB2312
// (GBK) bytes, letters and digits as they are, every other byte as %XX.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Encodes bytes as they stand: A-Z, a-z and 0-9 are copied, every other byte
// becomes "%" and two upper-case hex digits (a space is "%20", never "+").
std::string EncodeFormBytes(std::string_view bytes);

// Converts UTF-8 text to GBK (the superset of GB2312 the community reads)
// and encodes it; no-break spaces, which GBK lacks, go as spaces. Nothing,
// with the reason in `error`, when the text is not valid UTF-8 or holds
// characters GBK cannot carry: a reply is refused rather than sent with
// characters replaced.
std::optional<std::string> EncodeFormText(std::string_view utf8, std::string* error = nullptr);

// The first character (its UTF-8 bytes) EncodeFormText would refuse; empty
// when it takes the whole text.
std::string FirstUncarriableCharacter(std::string_view utf8);
