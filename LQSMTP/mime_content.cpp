#include "mime_content.h"

namespace SMailer
{
TextPlainContent::TextPlainContent(std::string content, std::string charset)
    : MimeContent(std::move(content)), m_charset(std::move(charset))
{
}

std::string TextPlainContent::getType() const
{
    return "text/plain; charset=" + m_charset;
}

std::string TextPlainContent::getTransferEncoding() const
{
    return "8bit";
}
} // namespace SMailer
