// The feedback sender of the maker's family of modules (LQFeedBack.so,
// linked at load time). It asks the user for the feedback text and sends it
// to the maker's support mailbox through LQSMTP.
#pragma once

#include <string>

#if defined(LQFEEDBACK_BUILDING)
#define LQFEEDBACK_API __attribute__((visibility("default")))
#else
#define LQFEEDBACK_API
#endif

// The feedback account's password on the maker's mail server. A test server
// that stands in for it (MYZELK_MAIL_SERVER, see README) gives the account
// this password.
constexpr const char* kLQFeedBackAccountPassword = "Tarnwell-fb-2006";

class LQFEEDBACK_API CLQFeedBack
{
public:
    // Texts are UTF-8. The port is what the caller knows of the server;
    // LQSMTP always speaks to port 25.
    CLQFeedBack(const char* senderAddress, const char* accountName, const char* mailServer,
                const char* subject, const char* fromAddress, const char* recipientAddress,
                long port);
    ~CLQFeedBack();
    CLQFeedBack(const CLQFeedBack&) = delete;
    CLQFeedBack& operator=(const CLQFeedBack&) = delete;

    // Shows the feedback dialog until the user closes it (the caller's Qt
    // application must exist; without one nothing is shown). `modulePath`
    // is this module's own full path. 1 when a mail was sent, else 0.
    int DoRun(const char* modulePath);

private:
    std::string m_senderAddress, m_accountName, m_mailServer, m_subject, m_fromAddress,
        m_recipientAddress;
    long m_port;
};
