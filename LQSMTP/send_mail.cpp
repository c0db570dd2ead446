#include "LQSMTP/send_mail.h"

#include "LQSMTP/error_messages.h"
#include "LQSMTP/exceptions.h"
#include "LQSMTP/gb2312_text.h"
#include "LQSMTP/mail_info.h"
#include "LQSMTP/mail_wrapper.h"
#include "LQSMTP/mime_content.h"
#include "LQSMTP/winsock_initializer.h"

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

    // One charset for the whole mail, the narrowest that holds the body, the
    // subject and the name; it is the one the text part declares.
    const std::string body = Text(args.body);
    const std::string subject = Text(args.subject);
    const std::string displayName = Text(args.displayName);
    const auto charset = CharsetFor({body, subject, displayName});
    // When bytes that no charset holds come along, the mail goes out in utf-8
    // and only those bytes are lost: every readable text still reads right.
    auto encode = [&](const std::string& text)
    { return charset ? TextInCharset(text, *charset).value_or(text) : Utf8Lossy(text); };
    const char* charsetName = CharsetName(charset.value_or(MailCharset::Utf8));

    TextPlainContent text(encode(body), charsetName);
    MailInfo info;
    info.setCharset(charsetName);
    info.setSenderName(encode(displayName));
    info.setSenderAddress(Text(args.senderAddress));
    info.addReceiver(encode(displayName), Text(args.receiverAddress));
    info.setPriority(kPriorityNormal);
    info.setSubject(encode(subject));
    info.addMimeContent(&text);

    try
    {
        // An address that would split into others or into a second command is
        // refused before the server hears anything.
        if (!IsSendableAddress(info.getSenderAddress()))
            throw MailException(ErrorMessages::instance().sendMessage(kStepMailFrom));
        for (const auto& receiver : info.getReceivers())
            if (!IsSendableAddress(receiver.second))
                throw MailException(ErrorMessages::instance().sendMessage(kStepRcptTo));

        MailSender sender(Text(args.server), Text(args.userName), Text(args.password), options);
        MailWrapper wrapper(&info);
        if (clock)
            wrapper.setClock(std::move(clock));
        sender.setMail(&wrapper);
        sender.send();
        // The server has taken the mail: whatever QUIT brings, it is sent, and
        // reporting a failure would only make the caller send it again.
        try
        {
            sender.quit();
        }
        catch (const MailException&)
        {
        }
        return 1;
    }
    catch (const MailException& e)
    {
        // Every failure text is a fixed one of at most 31 characters.
        if (errorText != nullptr)
        {
            const char* text = e.what();
            std::memcpy(errorText, text, std::strlen(text) + 1);
        }
    }
    catch (...)
    {
    }
    return 0;
}
} // namespace SMailer
