#include "outside/LQFeedBack/LQFeedBack.h"

#include "outside/LQFeedBack/feedback_dialog.h"

#include <QApplication>

#include <cstdio>

namespace
{
constexpr const char* kDisplayName = "MyZELK";

std::string Text(const char* s)
{
    return s ? s : "";
}
} // namespace

CLQFeedBack::CLQFeedBack(const char* senderAddress, const char* accountName, const char* mailServer,
                         const char* subject, const char* fromAddress, const char* recipientAddress,
                         long port)
    : m_senderAddress(Text(senderAddress)), m_accountName(Text(accountName)),
      m_mailServer(Text(mailServer)), m_subject(Text(subject)), m_fromAddress(Text(fromAddress)),
      m_recipientAddress(Text(recipientAddress)), m_port(port)
{
}

CLQFeedBack::~CLQFeedBack() = default;

int CLQFeedBack::DoRun(const char* modulePath)
{
    (void)modulePath; // everything the module needs is built in
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
    {
        std::fprintf(stderr, "LQFeedBack: no Qt application, no dialog\n");
        return 0;
    }
    if (m_port != 25)
        std::fprintf(stderr, "LQFeedBack: port %ld asked, LQSMTP uses 25\n", m_port);
    CFeedbackMail mail;
    mail.accountName = m_accountName;
    mail.password = kLQFeedBackAccountPassword;
    mail.mailServer = m_mailServer;
    // The envelope and the From header carry one address; the sender
    // address is the same mailbox by convention.
    mail.fromAddress = m_fromAddress.empty() ? m_senderAddress : m_fromAddress;
    mail.displayName = kDisplayName;
    mail.recipientAddress = m_recipientAddress;
    mail.subject = m_subject;
    CFeedbackDialog dialog(mail, QApplication::activeWindow());
    dialog.exec();
    return dialog.Sent() ? 1 : 0;
}
