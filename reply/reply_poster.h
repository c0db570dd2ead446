// Posting a reply to a forum topic: the request goes out as reply_request.h
// builds it, the answer is kept in a file for the user to look at, and the
// reply counts as accepted when the answer links to the topic.
#pragma once

#include <string>

class CCookieStore;

struct CReplySettings
{
    // Where the reply script is: the community host from the configuration,
    // "name" (port 80) or "name:port".
    std::string communityHost;
    // The name the Referer and Host headers give (the program's own name of
    // the community, which a host override replaces).
    std::string headerHost;
    // The browser's cookies (the sign-in); those for "http://" +
    // communityHost are sent. None: the cookie text is empty.
    const CCookieStore* cookies = nullptr;
    long connectTimeoutMs = 15000;
    long totalTimeoutMs = 60000;
};

struct CReplyOutcome
{
    bool accepted = false; // the answer links to the topic
    bool answered = false; // a whole answer was read
    bool written = false;  // ... and is in the result file
    long status = 0;       // HTTP status of the answer, 0 without one
    std::string error;     // why nothing was sent or read, or the file not written
};

// Splits "name[:port]"; port 80 when none is given. False when the port is
// not a number from 1 to 65535 or the name is empty.
// "[::1]" and "[::1]:8080" are IPv6 literals with their brackets kept.
bool SplitHostPort(const std::string& hostAndPort, std::string& name, int& port);

// Sends `text` (UTF-8: the user's text with the signature) as the reply to
// `topicId`. When a whole answer came, its body replaces `resultPath`; a
// failure before that leaves the file as it was.
CReplyOutcome PostReply(int topicId, const std::string& text, const std::string& resultPath,
                        const CReplySettings& settings);
