#pragma once

#include <map>
#include <string>

// What a strict mail reader makes of a message (mail_reader.py): keys such as
// "from.count", "from.0.name", "subject", "message-id", "header-ascii",
// "longest-line", "parts", "part.0.charset", "part.0.text" (line ends as LF)
// or "part.0.error". Empty when the reader could not run.
using ReaderView = std::map<std::string, std::string>;
ReaderView ReadLikeAMailReader(const std::string& message);

// The message of the first data phase in an SMTP transcript, taken as a
// strict server takes it: lines end at CR LF only, and a doubled leading dot
// loses one. Empty when the transcript holds no complete data phase.
std::string MessageInTranscript(const std::string& transcript);
