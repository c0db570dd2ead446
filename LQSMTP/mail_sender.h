#pragma once

#include "reply_reader.h"
#include "socket_ops.h"

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
// ending in a line feed). Empty: standard output, flushed after each line.
using TraceSink = std::function<void(const std::string& line)>;

struct SessionOptions
{
    std::uint16_t port = 25;
    // Bounds the connect, each command's send and each reply read.
    std::chrono::milliseconds timeout = std::chrono::seconds(30);
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
    // QUIT, expect 221, close. Throws on failure; runs at most once.
    void quit();

private:
    void connectAndGreet();
    void authenticate();
    void introduce(const char* verb);
    void sendRequest(int step, std::string_view text);
    // Reads one whole reply; returns its code when it is `expected` or one of
    // `alsoAccepted`, otherwise throws the reply message of `expected`.
    std::string receiveResponse(const std::string& expected,
                                std::initializer_list<std::string_view> alsoAccepted = {});
    void trace(const std::string& line) const;

    std::string m_server;
    std::string m_userName;
    std::string m_password;
    MUtils::Socket m_socket;
    MailWrapper* m_mail = nullptr;
    SessionOptions m_options;
    std::unique_ptr<ReplyReader> m_reader;
    bool m_introduced = false;
    bool m_quitDone = false;
};
} // namespace SMailer
