#pragma once

#include "LQSMTP/mail_info.h"

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace SMailer
{
extern const char* const kMailerName; // X-Mailer value
extern const char* const kBoundary;   // multipart boundary of every mail whose parts allow it

// Control characters (CR, LF, ...) in a header value or envelope address become
// spaces, so a value can neither start a new header nor a new SMTP command.
std::string SanitizeHeaderValue(std::string_view value);

// "Sun, 07 Jan 07 09:05:07 +0800": English names whatever the locale, local time,
// and the machine's real offset from UTC at that moment.
std::string FormatMailDate(std::time_t when);

// Doubles a dot that starts a line, as the data phase requires.
std::string DotStuff(std::string_view text);

// Whether an envelope address can go into MAIL FROM / RCPT TO and a header as
// it is: at most 254 bytes of printable ASCII, none of the characters that
// would end or split an address (space, quotes, brackets, commas ...) and at
// most one "@"; a domain literal ("user@[127.0.0.1]") is allowed. The empty
// address (the null sender) is too.
bool IsSendableAddress(std::string_view address);

// A Message-ID unique to this call, "<...@domain>", with the domain of the
// sender address (or of this host when that has none).
std::string NewMessageId(std::string_view senderAddress);

// Renders a MailInfo as the texts of the SMTP data phase. The parts must be
// complete when the wrapper is made: the boundary is chosen from them (the
// fixed one unless a part holds it), and so is the Message-ID, once per mail.
class MailWrapper
{
public:
    explicit MailWrapper(MailInfo* info);

    const std::string& boundary() const { return m_boundary; }
    const std::string& messageId() const { return m_messageId; }

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
    std::string m_boundary;
    std::string m_messageId;
};
} // namespace SMailer
