// Reads a multipart/related archive back into its parts, with each body
// decoded (quoted-printable, base64, or as it stands for 7bit/8bit/binary).
// Importers use it to search a saved page's own text rather than its
// encoded form.
#pragma once

#include "mhtml_part.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct MhtmlArchive
{
    std::string snapshotLocation; // Snapshot-Content-Location, empty when absent
    std::string contentType;      // the top-level Content-Type value
    std::vector<MhtmlPart> parts;

    // The page itself: the part at the snapshot location, else the first part.
    const MhtmlPart* MainPart() const;
};

// nullopt when the text is not multipart with a boundary, or a base64 body
// does not decode.
std::optional<MhtmlArchive> ParseMhtml(std::string_view text);

// Value of one parameter of a header value (charset, boundary ...), quotes removed.
std::string HeaderParameter(std::string_view value, std::string_view name);
