// Writes a multipart/related archive (RFC 2557) that browsers open as one
// page: the first part is the page, the rest are its resources.
#pragma once

#include "platform/net/mhtml_part.h"

#include <string>
#include <vector>

// Text parts are written quoted-printable, the rest base64. `subject` may be
// any UTF-8 text (encoded as an RFC 2047 word when not plain ASCII).
std::string BuildMhtml(const std::vector<MhtmlPart>& parts, const std::string& subject = {});
