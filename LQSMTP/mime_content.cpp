#include "LQSMTP/mime_content.h"

#include "LQSMTP/mime_encoding.h"

namespace SMailer
{
TextPlainContent::TextPlainContent(const std::string& content, std::string charset)
    : MimeContent(NormalizeLineEnds(content)), m_charset(std::move(charset)),
      m_transferEncoding("8bit")
{
    if (LongestLine(m_content) > kMaxLineLength)
    {
        m_content = QuotedPrintable(m_content);
        m_transferEncoding = "quoted-printable";
    }
}

std::string TextPlainContent::getType() const
{
    return "text/plain; charset=" + m_charset;
}

std::string TextPlainContent::getTransferEncoding() const
{
    return m_transferEncoding;
}
} // namespace SMailer
