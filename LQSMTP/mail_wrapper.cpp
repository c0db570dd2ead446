#include "mail_wrapper.h"

#include "mime_content.h"

#include <cstdio>
#include <cstdlib>

namespace SMailer
{
const char* const kMailerName = "SMailer";
const char* const kBoundary = "#BOUNDARY#";

namespace
{
std::string DisplayName(const std::string& name)
{
    if (name.empty())
        return std::string();
    return "\"" + SanitizeHeaderValue(name) + "\" ";
}

std::string Bracketed(const std::string& address)
{
    return "<" + SanitizeHeaderValue(address) + ">";
}
} // namespace

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
      m_contentCursor(info->getContents().begin()), m_clock([] { return std::time(nullptr); })
{
}

std::string MailWrapper::getHeader() const
{
    std::string to;
    for (const auto& [name, address] : m_info->getReceivers())
        to += DisplayName(name) + Bracketed(address) + ", ";
    if (to.size() >= 2)
        to.resize(to.size() - 2);

    std::string header;
    header += "From: " + DisplayName(m_info->getSenderName()) +
              Bracketed(m_info->getSenderAddress()) + "\r\n";
    header += "To: " + to + "\r\n";
    header += "Date: " + FormatMailDate(m_clock()) + "\r\n";
    header += "Subject: " + SanitizeHeaderValue(m_info->getSubject()) + "\r\n";
    header += std::string("X-Mailer: ") + kMailerName + "\r\n";
    header += "X-Priority: " + SanitizeHeaderValue(m_info->getPriority()) + "\r\n";
    header += "MIME-Version: 1.0\r\n";
    header += std::string("Content-type: multipart/mixed; boundary=\"") + kBoundary + "\"\r\n";
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
    m_partBuffer += std::string("--") + kBoundary + "\r\n";
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
    return std::string("\r\n--") + kBoundary + "--\r\n.\r\n";
}
} // namespace SMailer
