#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// A scripted SMTP peer on loopback for the tests: answers each command from a
// table and records every byte it receives.
class ScriptedSmtpServer
{
public:
    struct Script
    {
        std::string greeting = "220 scripted ESMTP\r\n";
        // Reply per command kind: HELO EHLO AUTH USER PASS MAIL RCPT DATA END QUIT.
        // Entries here replace the defaults.
        std::map<std::string, std::string> replies;
        bool closeAfterGreeting = false;
        bool silent = false;    // accepts, never says a word
        std::string stallOn;    // command kind after which the server falls silent
        std::string deafAfter;  // command kind after whose reply the server stops reading
        std::string closeAfter; // command kind after whose reply the server hangs up
        std::string slowOn;     // command kind whose reply comes only after slowBy
        std::chrono::milliseconds slowBy{0};
        bool authNeedsEhlo = false; // AUTH before EHLO gets 503
        std::size_t chunk = 0;      // > 0: replies go out in pieces of this size, with pauses
    };

    explicit ScriptedSmtpServer(Script script, const std::string& address = "127.0.0.1",
                                std::uint16_t port = 0);
    ~ScriptedSmtpServer();
    ScriptedSmtpServer(const ScriptedSmtpServer&) = delete;
    ScriptedSmtpServer& operator=(const ScriptedSmtpServer&) = delete;

    bool listening() const { return m_listenFd >= 0; }
    std::uint16_t port() const { return m_port; }
    int sessions() const { return m_sessions.load(); }
    // Everything received in the first session, once the client has gone (or after 5 s).
    std::string transcript();

private:
    void run();
    void serve(int fd);
    std::string replyFor(const std::string& kind) const;
    void sendReply(int fd, const std::string& reply) const;

    Script m_script;
    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_sessions{0};
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_firstSessionOver = false;
    std::string m_transcript;
    std::thread m_thread;
};

// A loopback address 127.0.0.<first..last> on which port 25 can be bound now,
// or "" when none is free. Separate ranges keep parallel tests apart.
std::string FreeLoopbackAddressForPort25(int first, int last);

// A scripted server on port 25 of the first loopback address in 127.0.0.2..20
// where it can listen (null when none); the address goes to *address.
std::unique_ptr<ScriptedSmtpServer> ScriptedServerOnPort25(const ScriptedSmtpServer::Script& script,
                                                           std::string* address);

// A TCP port on 127.0.0.1 that nothing listened on a moment ago.
std::uint16_t UnusedLoopbackPort();

// A host name that fails to resolve without a query leaving the machine: a label
// of 64 characters cannot be put into a DNS message.
std::string UnresolvableHostName();
