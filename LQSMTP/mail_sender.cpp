#include "LQSMTP/mail_sender.h"

#include "LQSMTP/base64.h"
#include "LQSMTP/error_messages.h"
#include "LQSMTP/exceptions.h"
#include "LQSMTP/mail_wrapper.h"

#include <algorithm>
#include <cstdio>

namespace SMailer
{
namespace
{
// Servers that refuse AUTH before a greeting answer 503 (bad sequence).
constexpr std::string_view kBadSequence = "503";
// What the trace shows in place of a credential.
constexpr std::string_view kMasked = "********\r\n";
// The most that the QUIT after a failure may wait, at any one step.
constexpr std::chrono::milliseconds kCleanupWait = std::chrono::seconds(1);
} // namespace

TraceSink StandardOutputTrace()
{
    return [](const std::string& line)
    {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    };
}

MailSender::MailSender(std::string server, std::string userName, std::string password,
                       SessionOptions options)
    : m_server(std::move(server)), m_userName(std::move(userName)), m_password(std::move(password)),
      m_options(std::move(options)), m_commandTimeout(m_options.timeout)
{
    // A failure here leaves no session: no QUIT, and m_socket closes itself.
    m_quitDone = true;
    connectAndGreet();
    if (!m_userName.empty())
        authenticate();
    if (!m_introduced)
        introduce("HELO");
    m_quitDone = false;
}

MailSender::~MailSender()
{
    try
    {
        quit();
    }
    catch (...)
    {
        // The first failure is the one the caller hears about.
    }
}

void MailSender::connectAndGreet()
{
    m_socket = MUtils::ConnectToServer(m_server, m_options.port, m_options.timeout);
    if (!m_socket.isConnected())
        throw MailException(ErrorMessages::instance().replyMessage("220"));
    m_reader = std::make_unique<ReplyReader>(m_socket);
    receiveResponse("220");
}

void MailSender::authenticate()
{
    sendRequest(kStepAuth, "AUTH LOGIN\r\n");
    if (receiveResponse("334", {kBadSequence}) == kBadSequence)
    {
        // This server wants to be greeted first: EHLO stands for the HELO.
        introduce("EHLO");
        sendRequest(kStepAuth, "AUTH LOGIN\r\n");
        receiveResponse("334");
    }
    sendRequest(kStepUserName, MUtils::Base64Encode(m_userName) + "\r\n", true);
    receiveResponse("334");
    sendRequest(kStepPassword, MUtils::Base64Encode(m_password) + "\r\n", true);
    receiveResponse("235");
}

void MailSender::introduce(const char* verb)
{
    const std::string host = SanitizeHeaderValue(MUtils::LocalHostName());
    sendRequest(kStepHelo, std::string(verb) + " " + host + "\r\n");
    receiveResponse("250");
    m_introduced = true;
}

void MailSender::send()
{
    if (m_mail == nullptr)
        return;
    sendRequest(kStepMailFrom, "MAIL FROM: " + m_mail->getSenderAddress() + "\r\n");
    receiveResponse("250");
    for (m_mail->traverseReceiver(); m_mail->hasMoreReceiver();)
    {
        sendRequest(kStepRcptTo, "RCPT TO: " + m_mail->nextReceiverAddress() + "\r\n");
        receiveResponse("250");
    }
    sendRequest(kStepData, "DATA\r\n");
    receiveResponse("354");
    sendRequest(kStepHeader, m_mail->getHeader());
    for (m_mail->traverseContent(); m_mail->hasMoreContent();)
        sendRequest(kStepContent, DotStuff(m_mail->nextContent()));
    sendRequest(kStepEnd, m_mail->getEnd());
    receiveResponse("250", {}, m_options.dataEndTimeout);
    m_accepted = true;
}

void MailSender::quit()
{
    if (m_quitDone)
        return;
    m_quitDone = true;
    struct CloseOnExit
    {
        MUtils::Socket& socket;
        ~CloseOnExit() { socket.close(); }
    } closer{m_socket};
    if (m_failure == Failure::Lost)
        return;
    // After a failure, or once the mail is taken, nothing hangs on the answer.
    if (m_failure != Failure::None || m_accepted)
        m_commandTimeout = std::min(m_options.timeout, kCleanupWait);
    const Failure before = m_failure;
    sendRequest(kStepQuit, "QUIT\r\n");
    // A server that let a reply time out is not waited for again.
    if (before != Failure::Unresponsive)
        receiveResponse("221");
}

void MailSender::sendRequest(int step, std::string_view text, bool secret)
{
    trace("[INFO]SEND:" + std::string(secret ? kMasked : text) + "\n");
    if (!m_socket.sendAll(text, m_commandTimeout))
    {
        m_failure = Failure::Lost;
        throw MailException(ErrorMessages::instance().sendMessage(step));
    }
}

std::string MailSender::receiveResponse(const std::string& expected,
                                        std::initializer_list<std::string_view> alsoAccepted,
                                        std::chrono::milliseconds timeout)
{
    std::string reply;
    const auto deadline = MUtils::Clock::now() + (timeout.count() > 0 ? timeout : m_commandTimeout);
    const ReplyStatus status =
        m_reader == nullptr ? ReplyStatus::Failed : m_reader->read(&reply, deadline);
    if (status == ReplyStatus::Failed)
    {
        m_failure = Failure::Unresponsive;
        throw MailException(ErrorMessages::instance().replyMessage(expected));
    }
    trace("[INFO]RECV(" + expected + "):" + reply + "\n");
    std::string code = reply.substr(0, 3);
    if (code.size() == 3)
    {
        if (code == expected)
            return code;
        for (const std::string_view other : alsoAccepted)
            if (code == other)
                return code;
    }
    m_failure = status == ReplyStatus::Closed ? Failure::Lost : Failure::Refused;
    throw MailException(ErrorMessages::instance().replyMessage(expected));
}

void MailSender::trace(const std::string& line) const
{
    if (m_options.trace)
        m_options.trace(line);
}
} // namespace SMailer
