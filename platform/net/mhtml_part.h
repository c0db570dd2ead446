// One resource of a single-file web archive (multipart/related).
#pragma once

#include <string>

struct MhtmlPart
{
    std::string location;         // Content-Location: the resource's absolute address
    std::string contentType;      // full Content-Type value, charset included
    std::string bytes;            // the resource exactly as fetched (decoded when read back)
    std::string transferEncoding; // filled when read back: quoted-printable, base64, ...
    std::string contentId = {};   // filled when read back: Content-ID, angle brackets kept
};
