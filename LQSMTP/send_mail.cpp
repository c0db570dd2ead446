#include "send_mail.h"

#include "exceptions.h"
#include "mail_info.h"
#include "mail_wrapper.h"
#include "mime_content.h"
#include "winsock_initializer.h"

#include <cstring>

namespace SMailer
{
namespace
{
std::string Text(const char* text)
{
    return text != nullptr ? std::string(text) : std::string();
}

// Stops the socket layer on every way out of the call.
struct SocketLayerCleanup
{
    ~SocketLayerCleanup() { MUtils::CleanupSockets(); }
};
} // namespace

int SendOneMail(const MailArguments& args, const SessionOptions& options, char* errorText,
                std::function<std::time_t()> clock)
{
    MUtils::WinSockInitializer socketLayer;
    SocketLayerCleanup cleanup;

    TextPlainContent text(Text(args.body), "gb2312");
    MailInfo info;
    info.setSenderName(Text(args.displayName));
    info.setSenderAddress(Text(args.senderAddress));
    info.addReceiver(Text(args.displayName), Text(args.receiverAddress));
    info.setPriority(kPriorityNormal);
    info.setSubject(Text(args.subject));
    info.addMimeContent(&text);

    try
    {
        MailSender sender(Text(args.server), Text(args.userName), Text(args.password), options);
        MailWrapper wrapper(&info);
        if (clock)
            wrapper.setClock(std::move(clock));
        sender.setMail(&wrapper);
        sender.send();
        sender.quit();
        return 1;
    }
    catch (const MailException& e)
    {
        // Every failure text is a fixed one of at most 31 characters.
        if (errorText != nullptr)
            std::strcpy(errorText, e.what());
    }
    catch (...)
    {
    }
    return 0;
}
} // namespace SMailer
