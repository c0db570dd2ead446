#pragma once

#include <string>

namespace SMailer
{
// One part of a multipart/mixed body. Whoever creates a part owns it.
class MimeContent
{
public:
    explicit MimeContent(std::string content) : m_content(std::move(content)) {}
    virtual ~MimeContent() = default;

    virtual std::string getType() const = 0;
    virtual std::string getDisposition() const { return std::string(); }
    virtual std::string getTransferEncoding() const = 0;
    virtual std::string getContent() const { return m_content; }

protected:
    std::string m_content;
};

// A plain-text part. Its lines always end in CR LF, whatever the caller's text
// used. It goes out as 8bit, as given, unless a line is longer than SMTP
// carries: then the whole part is quoted-printable, so no relay refuses it.
class TextPlainContent : public MimeContent
{
public:
    TextPlainContent(const std::string& content, std::string charset);

    std::string getType() const override;
    std::string getTransferEncoding() const override;

private:
    std::string m_charset;
    std::string m_transferEncoding;
};
} // namespace SMailer
