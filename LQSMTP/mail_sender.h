#pragma once

#include "LQSMTP/reply_reader.h"
#include "LQSMTP/socket_ops.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

namespace SMailer
{
class MailWrapper;

// Receives every trace line ("[INFO]SEND:..." / "[INFO]RECV(...):...", each
// ending in a line feed). The user name and password lines of AUTH LOGIN are
// traced as "[INFO]SEND:********" + CR LF, never as sent.
using TraceSink = std::function<void(const std::string& line)>;

// A sink that writes each line to standard output and flushes it.
TraceSink StandardOutputTrace();

struct SessionOptions
{
    std::uint16_t port = 25;
    // Bounds the connect, each command's send and each reply read.
    std::chrono::milliseconds timeout = std::chrono::seconds(30);
    // Bounds the wait for the reply to the end of the data: a server may check
    // the whole mail first, and RFC 5321 (4.5.3.2.6) allows it 10 minutes.
    std::chrono::milliseconds dataEndTimeout = std::chrono::minutes(10);
    // Empty: no trace at all.
    TraceSink trace;
};

// One SMTP session for one message. Construction connects and greets,
// authenticates with AUTH LOGIN when a user name is given, and introduces
// itself; send() runs envelope and data; quit() ends the session. Every failure
// throws MailException with the session's failure text.
class MailSender
{
public:
    MailSender(std::string server, std::string userName, std::string password,
               SessionOptions options = SessionOptions());
    // Runs the QUIT exchange unless quit() already did; its failure is ignored here.
    ~MailSender();
    MailSender(const MailSender&) = delete;
    MailSender& operator=(const MailSender&) = delete;

    void setMail(MailWrapper* mail) { m_mail = mail; }
    void send();
    // QUIT, expect 221, close; runs at most once. Throws on failure. After an
    // earlier failure it is only a short courtesy: QUIT is sent where the server
    // still listens, and its reply awaited (briefly) only from a server that
    // was answering. Once the mail is accepted, the reply is awaited briefly too.
    void quit();
    // Whether the server accepted the mail (its reply to the end of the data).
    bool accepted() const { return m_accepted; }

private:
    // How the last failed exchange left the connection.
    enum class Failure
    {
        None,
        Refused,      // the server answered, with another code
        Unresponsive, // no reply in time
        Lost          // closed by the server, or a send failed
    };

    void connectAndGreet();
    void authenticate();
    void introduce(const char* verb);
    // `secret`: the text is a credential and stays out of the trace.
    void sendRequest(int step, std::string_view text, bool secret = false);
    // Reads one whole reply within `timeout` (zero: the command time-out);
    // returns its code when it is `expected` or one of `alsoAccepted`,
    // otherwise throws the reply message of `expected`.
    std::string receiveResponse(const std::string& expected,
                                std::initializer_list<std::string_view> alsoAccepted = {},
                                std::chrono::milliseconds timeout = {});
    void trace(const std::string& line) const;

    std::string m_server;
    std::string m_userName;
    std::string m_password;
    MUtils::Socket m_socket;
    MailWrapper* m_mail = nullptr;
    SessionOptions m_options;
    std::chrono::milliseconds m_commandTimeout;
    std::unique_ptr<ReplyReader> m_reader;
    Failure m_failure = Failure::None;
    bool m_introduced = false;
    bool m_quitDone = false;
    bool m_accepted = false;
};
} // namespace SMailer
