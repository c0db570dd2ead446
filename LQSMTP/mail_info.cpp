#include "LQSMTP/mail_info.h"

namespace SMailer
{
const char* const kPriorityHigh = "1";
const char* const kPriorityNormal = "3";
const char* const kPriorityLow = "5";

void MailInfo::addReceiver(const std::string& name, const std::string& address)
{
    // multimap inserts an equal key after the existing ones, which keeps insertion order.
    m_receivers.emplace(name, address);
}
} // namespace SMailer
