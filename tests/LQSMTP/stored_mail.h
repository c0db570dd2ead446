#pragma once

#include <map>
#include <string>
#include <vector>

// A stored message taken apart the way a mail reader would: unfolded headers
// (names in lower case, first occurrence wins) and the body, line ends as LF.
struct StoredMail
{
    std::map<std::string, std::string> headers;
    std::string body;
};

StoredMail ParseStoredMail(const std::string& bytes);

// The parts of a multipart body: each part's headers and body. Empty when the
// boundary is missing or the closing delimiter never comes.
struct MimePart
{
    std::map<std::string, std::string> headers;
    std::string body;
};
std::vector<MimePart> SplitMultipart(const std::string& body, const std::string& boundary);

// The boundary parameter of a Content-Type value ("" when absent).
std::string BoundaryOf(const std::string& contentType);
