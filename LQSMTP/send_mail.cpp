#include "send_mail.h"

#include "exceptions.h"
#include "gb2312_text.h"
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

    // The mail goes out in GB2312; a UTF-8 body that GB2312 cannot carry goes
    // out as it came, declared as what it is.
    const std::string body = Text(args.body);
    std::string charset = "gb2312";
    std::string content;
    if (auto gbk = GbkFromUtf8(body))
        content = std::move(*gbk);
    else
    {
        content = body;
        if (IsValidUtf8(body))
            charset = "utf-8";
    }
    TextPlainContent text(content, charset);

    const std::string displayName = MailTextFromCaller(Text(args.displayName));
    MailInfo info;
    info.setSenderName(displayName);
    info.setSenderAddress(Text(args.senderAddress));
    info.addReceiver(displayName, Text(args.receiverAddress));
    info.setPriority(kPriorityNormal);
    info.setSubject(MailTextFromCaller(Text(args.subject)));
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
