// Reads a multipart/related archive back into its parts, with each body
// decoded (quoted-printable, base64, or as it stands for 7bit/8bit/binary).
// Importers use it to search a saved page's own text rather than its
// encoded form, so it reads what other archivers write too: LF-only line
// ends, folded headers, transport padding after delimiters, a missing
// closing delimiter, and a single-part message holding the page alone.
#pragma once

#include "platform/net/mhtml_part.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct MhtmlArchive
{
    std::string snapshotLocation; // Snapshot-Content-Location, empty when absent
    std::string contentType;      // the top-level Content-Type value
    std::vector<MhtmlPart> parts;

    // The page itself: the part the "start" parameter names, else the one at
    // the snapshot location, else the first text/html part, else the first.
    const MhtmlPart* MainPart() const;
};

// What a base64 body with bytes outside the alphabet does: Strict refuses
// the archive (checking one we wrote), Lenient skips those bytes and stops
// at the first '=' (importing whatever a user saved).
enum class MhtmlDecoding
{
    Strict,
    Lenient
};

// nullopt when the text does not open with MIME headers naming a
// Content-Type, is multipart without a boundary, or (Strict) a base64 body
// does not decode.
std::optional<MhtmlArchive> ParseMhtml(std::string_view text,
                                       MhtmlDecoding decoding = MhtmlDecoding::Strict);

// Value of one parameter of a header value (charset, boundary ...), quotes
// and quoting backslashes removed.
std::string HeaderParameter(std::string_view value, std::string_view name);
