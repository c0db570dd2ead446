#pragma once

#include "mail_info.h"

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace SMailer
{
extern const char* const kMailerName; // X-Mailer value
extern const char* const kBoundary;   // fixed multipart boundary

// Control characters (CR, LF, ...) in a header value or envelope address become
// spaces, so a value can neither start a new header nor a new SMTP command.
std::string SanitizeHeaderValue(std::string_view value);

// "Sun, 07 Jan 07 09:05:07 +0800": English names whatever the locale, local time,
// and the machine's real offset from UTC at that moment.
std::string FormatMailDate(std::time_t when);

// Doubles a dot that starts a line, as the data phase requires.
std::string DotStuff(std::string_view text);

// Renders a MailInfo as the texts of the SMTP data phase.
class MailWrapper
{
public:
    explicit MailWrapper(MailInfo* info);

    // Replaces the clock that dates the header (tests).
    void setClock(std::function<std::time_t()> clock) { m_clock = std::move(clock); }

    std::string getHeader() const;
    std::string getSenderAddress() const; // "<address>"

    void traverseReceiver();
    bool hasMoreReceiver() const;
    std::string nextReceiverAddress(); // "<address>", moves on

    void traverseContent();
    bool hasMoreContent() const;
    const std::string& nextContent(); // rendered part, moves on

    std::string getEnd() const;

private:
    MailInfo* m_info;
    MailInfo::Receivers::const_iterator m_receiverCursor;
    std::string m_partBuffer;
    std::vector<MimeContent*>::const_iterator m_contentCursor;
    std::function<std::time_t()> m_clock;
};
} // namespace SMailer
