#include "LQSMTP/mail_wrapper.h"

#include "LQSMTP/exceptions.h"
#include "LQSMTP/mime_content.h"
#include "LQSMTP/mime_encoding.h"
#include "LQSMTP/socket_ops.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace SMailer
{
const char* const kMailerName = "SMailer";
const char* const kBoundary = "#BOUNDARY#";

namespace
{
std::string Bracketed(const std::string& address)
{
    return "<" + SanitizeHeaderValue(address) + ">";
}

// Length of the last line that `text` leaves, when it starts `used` characters into a line.
std::size_t LastLineLength(const std::string& text, std::size_t used = 0)
{
    const std::size_t lf = text.rfind('\n');
    return lf == std::string::npos ? used + text.size() : text.size() - lf - 1;
}

// "name <address>", the name quoted or encoded in the mail's charset, starting
// `used` characters into a line; the address goes on a line of its own rather
// than past 78 characters.
std::string Mailbox(const std::string& name, const std::string& address, const std::string& charset,
                    std::size_t used)
{
    std::string phrase = DisplayNamePhrase(SanitizeHeaderValue(name), charset, used);
    const std::string bracketed = Bracketed(address);
    if (!phrase.empty() && LastLineLength(phrase, used) + bracketed.size() > kFoldedLineLength)
    {
        phrase.pop_back(); // the space after the name becomes the fold
        phrase += "\r\n ";
    }
    return phrase + bracketed;
}

bool IsAtext(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7f)
        return false;
    // The specials of RFC 5322 (with "@", counted apart): each ends or splits an address.
    return std::string_view("()<>[]:;\\,\"").find(c) == std::string_view::npos;
}

bool IsHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.';
}

bool IsHostName(std::string_view name)
{
    if (name.empty())
        return false;
    for (const char c : name)
        if (!IsHostChar(c))
            return false;
    return true;
}

// A boundary no part holds: the fixed one when possible.
std::string ChooseBoundary(const std::vector<MimeContent*>& contents)
{
    std::vector<std::string> texts;
    for (const MimeContent* part : contents)
        if (part != nullptr)
            texts.push_back(part->getContent());
    std::string candidate = kBoundary;
    for (unsigned n = 1;; ++n)
    {
        bool held = false;
        for (const std::string& text : texts)
            held = held || text.find("--" + candidate) != std::string::npos;
        if (!held)
            return candidate;
        candidate = std::string(kBoundary) + std::to_string(n);
    }
}
} // namespace

bool IsSendableAddress(std::string_view address)
{
    if (address.size() > 254)
        return false;
    const std::size_t at = address.find('@');
    if (at != std::string_view::npos && address.find('@', at + 1) != std::string_view::npos)
        return false;
    std::string_view local = address.substr(0, at);
    std::string_view domain =
        at == std::string_view::npos ? std::string_view() : address.substr(at + 1);
    if (domain.size() >= 2 && domain.front() == '[' && domain.back() == ']')
    {
        const std::string_view literal = domain.substr(1, domain.size() - 2);
        for (const char c : literal)
            if (!IsHostChar(c) && c != ':')
                return false;
        domain = std::string_view();
    }
    for (const char c : local)
        if (!IsAtext(c))
            return false;
    for (const char c : domain)
        if (!IsAtext(c))
            return false;
    return true;
}

std::string NewMessageId(std::string_view senderAddress)
{
    static std::atomic<unsigned long long> counter{0};
    std::string domain;
    const std::size_t at = senderAddress.rfind('@');
    if (at != std::string_view::npos && IsHostName(senderAddress.substr(at + 1)))
        domain = senderAddress.substr(at + 1);
    if (domain.empty())
    {
        try
        {
            domain = MUtils::LocalHostName();
        }
        catch (const MailException&)
        {
        }
        if (!IsHostName(domain))
            domain = "localhost";
    }
    std::random_device random;
    const unsigned long long noise = (static_cast<unsigned long long>(random()) << 32) ^
                                     static_cast<unsigned long long>(random());
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    char local[80];
    std::snprintf(local, sizeof local, "%llx.%016llx.%llx", static_cast<unsigned long long>(micros),
                  noise, ++counter);
    return "<" + std::string(local) + "." + kMailerName + "@" + domain + ">";
}

std::string SanitizeHeaderValue(std::string_view value)
{
    std::string out(value);
    for (char& c : out)
    {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f)
            c = ' ';
    }
    return out;
}

std::string FormatMailDate(std::time_t when)
{
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr)
        return std::string();
    const long offsetMinutes = local.tm_gmtoff / 60;
    const long absolute = std::labs(offsetMinutes);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %02d %02d:%02d:%02d %c%02ld%02ld",
                  days[local.tm_wday % 7], local.tm_mday, months[local.tm_mon % 12],
                  local.tm_year % 100, local.tm_hour, local.tm_min, local.tm_sec,
                  offsetMinutes < 0 ? '-' : '+', absolute / 60, absolute % 60);
    return text;
}

std::string DotStuff(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    bool lineStart = true;
    for (const char c : text)
    {
        if (lineStart && c == '.')
            out += '.';
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

MailWrapper::MailWrapper(MailInfo* info)
    : m_info(info), m_receiverCursor(info->getReceivers().begin()),
      m_contentCursor(info->getContents().begin()), m_clock([] { return std::time(nullptr); }),
      m_boundary(ChooseBoundary(info->getContents())),
      m_messageId(NewMessageId(info->getSenderAddress()))
{
}

std::string MailWrapper::getHeader() const
{
    const std::string& charset = m_info->getCharset();
    // Receivers share a line while it stays within 78 characters.
    std::string to = "To: ";
    bool first = true;
    for (const auto& [name, address] : m_info->getReceivers())
    {
        std::string item = Mailbox(name, address, charset, first ? 4 : LastLineLength(to) + 2);
        if (!first)
        {
            const std::size_t firstLine = std::min(item.find('\r'), item.size());
            if (firstLine == 0 || LastLineLength(to) + 2 + firstLine > kFoldedLineLength)
            {
                to += ",\r\n ";
                item = Mailbox(name, address, charset, 1);
            }
            else
                to += ", ";
        }
        to += item;
        first = false;
    }

    std::string header;
    header += "From: " + Mailbox(m_info->getSenderName(), m_info->getSenderAddress(), charset, 6) +
              "\r\n";
    header += to + "\r\n";
    header += "Date: " + FormatMailDate(m_clock()) + "\r\n";
    header +=
        "Subject: " + HeaderText(SanitizeHeaderValue(m_info->getSubject()), charset, 9) + "\r\n";
    header += std::string("X-Mailer: ") + kMailerName + "\r\n";
    header += "X-Priority: " + SanitizeHeaderValue(m_info->getPriority()) + "\r\n";
    header += "MIME-Version: 1.0\r\n";
    header += "Content-type: multipart/mixed; boundary=\"" + m_boundary + "\"\r\n";
    header += "Message-ID: " + m_messageId + "\r\n";
    header += "\r\n";
    return header;
}

std::string MailWrapper::getSenderAddress() const
{
    return Bracketed(m_info->getSenderAddress());
}

void MailWrapper::traverseReceiver()
{
    m_receiverCursor = m_info->getReceivers().begin();
}

bool MailWrapper::hasMoreReceiver() const
{
    return m_receiverCursor != m_info->getReceivers().end();
}

std::string MailWrapper::nextReceiverAddress()
{
    if (!hasMoreReceiver())
        return std::string();
    return Bracketed((m_receiverCursor++)->second);
}

void MailWrapper::traverseContent()
{
    m_contentCursor = m_info->getContents().begin();
}

bool MailWrapper::hasMoreContent() const
{
    return m_contentCursor != m_info->getContents().end();
}

const std::string& MailWrapper::nextContent()
{
    m_partBuffer.clear();
    if (!hasMoreContent())
        return m_partBuffer;
    const MimeContent* part = *m_contentCursor++;
    if (part == nullptr)
        return m_partBuffer;
    m_partBuffer += "--" + m_boundary + "\r\n";
    m_partBuffer += "Content-Type: " + SanitizeHeaderValue(part->getType()) + "\r\n";
    const std::string disposition = part->getDisposition();
    if (!disposition.empty())
        m_partBuffer += "Content-Disposition: " + SanitizeHeaderValue(disposition) + "\r\n";
    m_partBuffer +=
        "Content-Transfer-Encoding: " + SanitizeHeaderValue(part->getTransferEncoding()) +
        "\r\n\r\n";
    m_partBuffer += part->getContent() + "\r\n\r\n";
    return m_partBuffer;
}

std::string MailWrapper::getEnd() const
{
    return "\r\n--" + m_boundary + "--\r\n.\r\n";
}
} // namespace SMailer
