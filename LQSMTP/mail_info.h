#pragma once

#include <map>
#include <string>
#include <vector>

namespace SMailer
{
class MimeContent;

// X-Priority values.
extern const char* const kPriorityHigh;
extern const char* const kPriorityNormal;
extern const char* const kPriorityLow;

// What one mail is made of. Receivers are kept sorted by name (byte order);
// receivers with equal names keep the order in which they were added.
// The parts are not owned and must outlive the sending.
class MailInfo
{
public:
    using Receivers = std::multimap<std::string, std::string>; // name -> address

    void setSenderName(const std::string& name) { m_senderName = name; }
    void setSenderAddress(const std::string& address) { m_senderAddress = address; }
    void addReceiver(const std::string& name, const std::string& address);
    void setPriority(const std::string& priority) { m_priority = priority; }
    void setSubject(const std::string& subject) { m_subject = subject; }
    void addMimeContent(MimeContent* content) { m_contents.push_back(content); }
    // Charset of the header texts (subject, names): the one the text part declares.
    void setCharset(const std::string& charset) { m_charset = charset; }

    const std::string& getSenderName() const { return m_senderName; }
    const std::string& getSenderAddress() const { return m_senderAddress; }
    const Receivers& getReceivers() const { return m_receivers; }
    const std::string& getPriority() const { return m_priority; }
    const std::string& getSubject() const { return m_subject; }
    const std::vector<MimeContent*>& getContents() const { return m_contents; }
    const std::string& getCharset() const { return m_charset; }

private:
    std::string m_senderName;
    std::string m_senderAddress;
    Receivers m_receivers;
    std::string m_priority = kPriorityNormal;
    std::string m_subject;
    std::vector<MimeContent*> m_contents;
    std::string m_charset = "gb2312";
};
} // namespace SMailer
