// The page an importer reads out of a web archive (MIME multipart/related,
// as archivers write MHT files). Archivers keep text parts quoted-printable
// or base64, so marker searches must run on the decoded part, not on the file.
#pragma once

#include <string>
#include <string_view>

struct CArchiveMainPart
{
    std::string body;        // decoded bytes of the main part (still in its charset)
    std::string contentType; // e.g. "text/html"; empty when the input is no archive
    std::string charset;     // the part's charset parameter, or empty
    bool isArchive = false;  // false: the input was not MIME and is returned as is
};

// The main part is the one named by the "start" parameter, else the one at
// the Snapshot-Content-Location, else the first text/html part, else the
// first part. Input that is not a MIME message
// (a plain HTML file) comes back unchanged with isArchive false.
CArchiveMainPart DecodeArchiveMainPart(std::string_view archive);
