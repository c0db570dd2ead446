#include "LQSMTP/base64.h"
#include "LQSMTP/exceptions.h"
#include "LQSMTP/mail_info.h"
#include "LQSMTP/mail_sender.h"
#include "LQSMTP/mail_wrapper.h"
#include "LQSMTP/mime_content.h"
#include "LQSMTP/socket_ops.h"
#include "tests/LQSMTP/scripted_smtp_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace
{
using Script = ScriptedSmtpServer::Script;
using namespace std::chrono_literals;

std::string FailureOf(const std::function<void()>& action)
{
    try
    {
        action();
    }
    catch (const SMailer::MailException& e)
    {
        return e.what();
    }
    return "(no failure)";
}

// One session against a scripted server, with the trace captured.
class MailSenderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host = MUtils::LocalHostName();
        info.setSenderName("Me");
        info.setSenderAddress("me@myzelk.test");
        info.addReceiver("You", "you@myzelk.test");
        info.setSubject("Hi");
        info.addMimeContent(&text);
    }

    SMailer::SessionOptions options(std::uint16_t port)
    {
        SMailer::SessionOptions o;
        o.port = port;
        o.timeout = 1s;
        o.dataEndTimeout = 1s;
        o.trace = [this](const std::string& line) { trace.push_back(line); };
        return o;
    }

    // Runs the whole session; returns "" on success or the failure text.
    std::string run(ScriptedSmtpServer& server, const std::string& user = "",
                    const std::string& password = "")
    {
        lastFailure = FailureOf(
            [&]
            {
                SMailer::MailSender sender("127.0.0.1", user, password, options(server.port()));
                SMailer::MailWrapper wrapper(&info);
                wrapper.setClock([] { return std::time_t(1168131907); });
                header = wrapper.getHeader();
                sender.setMail(&wrapper);
                sender.send();
                sender.quit();
            });
        return lastFailure == "(no failure)" ? std::string() : lastFailure;
    }

    std::string dataPhase() const
    {
        return header +
               "--#BOUNDARY#\r\nContent-Type: text/plain; charset=gb2312\r\n"
               "Content-Transfer-Encoding: 8bit\r\n\r\n" +
               body + "\r\n\r\n" + "\r\n--#BOUNDARY#--\r\n.\r\n";
    }

    std::string envelopeAndData() const
    {
        return "MAIL FROM: <me@myzelk.test>\r\n"
               "RCPT TO: <you@myzelk.test>\r\n"
               "DATA\r\n" +
               dataPhase() + "QUIT\r\n";
    }

    std::string host;
    std::string body = "\xC4\xE3\xBA\xC3\r\nsecond line";
    SMailer::TextPlainContent text{body, "gb2312"};
    SMailer::MailInfo info;
    std::vector<std::string> trace;
    std::string header;
    std::string lastFailure;
};

TEST_F(MailSenderTest, dialogueWithoutUserNameIsExact)
{
    ScriptedSmtpServer server(Script{});
    ASSERT_EQ(run(server), "");
    EXPECT_EQ(server.transcript(), "HELO " + host + "\r\n" + envelopeAndData());
}

TEST_F(MailSenderTest, dialogueWithUserNameAuthenticatesBeforeHelo)
{
    ScriptedSmtpServer server(Script{});
    ASSERT_EQ(run(server, "quillmere", "s3cret"), "");
    EXPECT_EQ(server.transcript(), "AUTH LOGIN\r\n" + MUtils::Base64Encode("quillmere") + "\r\n" +
                                       MUtils::Base64Encode("s3cret") + "\r\nHELO " + host +
                                       "\r\n" + envelopeAndData());
}

TEST_F(MailSenderTest, traceLinesShowEachCommandAndReply)
{
    ScriptedSmtpServer server(Script{});
    ASSERT_EQ(run(server), "");
    const std::vector<std::string> expected = {
        "[INFO]RECV(220):220 scripted ESMTP\r\n\n",
        "[INFO]SEND:HELO " + host + "\r\n\n",
        "[INFO]RECV(250):250 scripted hello\r\n\n",
        "[INFO]SEND:MAIL FROM: <me@myzelk.test>\r\n\n",
        "[INFO]RECV(250):250 2.1.0 Ok\r\n\n",
        "[INFO]SEND:RCPT TO: <you@myzelk.test>\r\n\n",
        "[INFO]RECV(250):250 2.1.5 Ok\r\n\n",
        "[INFO]SEND:DATA\r\n\n",
        "[INFO]RECV(354):354 End data with <CR><LF>.<CR><LF>\r\n\n",
        "[INFO]SEND:" + header + "\n",
        "[INFO]SEND:--#BOUNDARY#\r\nContent-Type: text/plain; charset=gb2312\r\n"
        "Content-Transfer-Encoding: 8bit\r\n\r\n" +
            body + "\r\n\r\n\n",
        "[INFO]SEND:\r\n--#BOUNDARY#--\r\n.\r\n\n",
        "[INFO]RECV(250):250 2.0.0 Ok: queued\r\n\n",
        "[INFO]SEND:QUIT\r\n\n",
        "[INFO]RECV(221):221 2.0.0 Bye\r\n\n",
    };
    EXPECT_EQ(trace, expected);
}

TEST_F(MailSenderTest, multiLineRepliesInSmallPiecesAreReadToTheirLastLine)
{
    Script script;
    script.greeting = "220-scripted\r\n220-second line\r\n220 ready\r\n";
    script.replies["HELO"] = "250-first\r\n250-second\r\n250 last\r\n";
    script.replies["RCPT"] = "250-accepted\r\n250 for you\r\n";
    script.chunk = 4; // every reply needs several reads
    ScriptedSmtpServer server(script);
    ASSERT_EQ(run(server, "u", "p"), "");
    ASSERT_GE(trace.size(), 4u);
    EXPECT_EQ(trace[0], "[INFO]RECV(220):220-scripted\r\n220-second line\r\n220 ready\r\n\n");
    // Each reply is judged on its own: nothing of one was taken for the next.
    EXPECT_EQ(trace[2], "[INFO]RECV(334):334 VXNlcm5hbWU6\r\n\n");
    EXPECT_NE(std::find(trace.begin(), trace.end(),
                        "[INFO]RECV(250):250-first\r\n250-second\r\n250 last\r\n\n"),
              trace.end());
    EXPECT_EQ(trace.back(), "[INFO]RECV(221):221 2.0.0 Bye\r\n\n");
}

TEST_F(MailSenderTest, multiLineRefusalFailsWithTheStepMessage)
{
    Script script;
    script.replies["RCPT"] = "550-5.1.1 no such user\r\n550 5.1.1 really\r\n";
    ScriptedSmtpServer server(script);
    EXPECT_EQ(run(server), "General server error");
    const std::string transcript = server.transcript();
    EXPECT_EQ(transcript.find("DATA"), std::string::npos);
    EXPECT_EQ(transcript.substr(transcript.size() - 6), "QUIT\r\n");
}

TEST_F(MailSenderTest, serverThatWantsEhloBeforeAuthGetsEhloInPlaceOfHelo)
{
    Script script;
    script.authNeedsEhlo = true;
    ScriptedSmtpServer server(script);
    ASSERT_EQ(run(server, "quillmere", "s3cret"), "");
    EXPECT_EQ(server.transcript(), "AUTH LOGIN\r\nEHLO " + host + "\r\nAUTH LOGIN\r\n" +
                                       MUtils::Base64Encode("quillmere") + "\r\n" +
                                       MUtils::Base64Encode("s3cret") + "\r\n" + envelopeAndData());
}

TEST_F(MailSenderTest, repeatedRefusalOfAuthAfterEhloFails)
{
    Script script;
    script.replies["AUTH"] = "503 5.5.1 no auth here\r\n";
    ScriptedSmtpServer server(script);
    EXPECT_EQ(run(server, "u", "p"), "Server authentication error");
    EXPECT_EQ(server.transcript(), "AUTH LOGIN\r\nEHLO " + host + "\r\nAUTH LOGIN\r\n");
}

TEST_F(MailSenderTest, bodyLinesStartingWithDotAreDoubled)
{
    body = ".hidden\r\n.\r\nafter the lone dot\r\n..two";
    text = SMailer::TextPlainContent(body, "gb2312");
    ScriptedSmtpServer server(Script{});
    ASSERT_EQ(run(server), "");
    const std::string transcript = server.transcript();
    EXPECT_NE(transcript.find("\r\n\r\n..hidden\r\n..\r\nafter the lone dot\r\n...two\r\n"),
              std::string::npos)
        << transcript;
    // The server saw one whole message: the lone dot did not end it early, so the
    // only end-of-data mark is the last one, followed by QUIT alone.
    const std::string endOfData = "\r\n.\r\n";
    const std::size_t end = transcript.find(endOfData);
    ASSERT_NE(end, std::string::npos) << transcript;
    EXPECT_EQ(transcript.substr(end + endOfData.size()), "QUIT\r\n") << transcript;
}

// Each failure of the dialogue, with the exact text and whether QUIT followed.
struct FailureCase
{
    const char* name;
    std::string user;
    std::string key;   // reply to replace
    std::string reply; // its new text
    std::string expected;
    bool quitSent;
};

class MailSenderFailureTest : public MailSenderTest,
                              public ::testing::WithParamInterface<FailureCase>
{
};

TEST_P(MailSenderFailureTest, reportsTheStepsText)
{
    const FailureCase& c = GetParam();
    Script script;
    if (c.key == "GREETING")
        script.greeting = c.reply;
    else
        script.replies[c.key] = c.reply;
    ScriptedSmtpServer server(script);
    EXPECT_EQ(run(server, c.user, "p"), c.expected);
    const std::string transcript = server.transcript();
    const bool endsWithQuit =
        transcript.size() >= 6 && transcript.substr(transcript.size() - 6) == "QUIT\r\n";
    EXPECT_EQ(endsWithQuit, c.quitSent) << transcript;
}

INSTANTIATE_TEST_SUITE_P(
    Steps, MailSenderFailureTest,
    ::testing::Values(
        FailureCase{"greeting", "", "GREETING", "554 go away\r\n", "Server connect error", false},
        FailureCase{"auth", "u", "AUTH", "504 unknown mechanism\r\n", "Server authentication error",
                    false},
        FailureCase{"user", "u", "USER", "535 no\r\n", "Server authentication error", false},
        FailureCase{"password", "u", "PASS", "535 5.7.8 Authentication failed\r\n",
                    "Password error", false},
        FailureCase{"helo", "", "HELO", "501 bad name\r\n", "General server error", false},
        FailureCase{"mailFrom", "", "MAIL", "553 no\r\n", "General server error", true},
        FailureCase{"rcptTo", "", "RCPT", "550 5.1.1 unknown user\r\n", "General server error",
                    true},
        FailureCase{"data", "", "DATA", "451 later\r\n", "Server not ready for data", true},
        FailureCase{"end", "", "END", "552 too big\r\n", "General server error", true},
        // Only the QUIT failed: the mail went through, but the failure is still reported.
        FailureCase{"quit", "", "QUIT", "250 what\r\n", "Server didn't terminate session", true},
        FailureCase{"shortReply", "", "MAIL", "25\r\n", "General server error", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MailSenderTest, laterQuitFailureDoesNotHideTheFirstOne)
{
    Script script;
    script.replies["RCPT"] = "550 5.1.1 unknown user\r\n";
    script.replies["QUIT"] = "500 no\r\n";
    ScriptedSmtpServer server(script);
    EXPECT_EQ(run(server), "General server error");
    EXPECT_EQ(trace.back(), "[INFO]RECV(221):500 no\r\n\n");
}

TEST_F(MailSenderTest, traceGoesToStandardOutputOnlyWhenAsked)
{
    ScriptedSmtpServer server(Script{});
    std::string out[2];
    for (const bool asked : {false, true})
    {
        ::testing::internal::CaptureStdout();
        const std::string failure = FailureOf(
            [&]
            {
                SMailer::SessionOptions o;
                o.port = server.port();
                o.timeout = 1s;
                if (asked)
                    o.trace = SMailer::StandardOutputTrace();
                SMailer::MailSender sender("127.0.0.1", "", "", o);
            });
        out[asked] = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(failure, "(no failure)");
    }
    EXPECT_EQ(out[0], "");
    EXPECT_EQ(out[1], "[INFO]RECV(220):220 scripted ESMTP\r\n\n"
                      "[INFO]SEND:HELO " +
                          host +
                          "\r\n\n"
                          "[INFO]RECV(250):250 scripted hello\r\n\n"
                          "[INFO]SEND:QUIT\r\n\n"
                          "[INFO]RECV(221):221 2.0.0 Bye\r\n\n");
}

// A server that stops reading after its 354: what does not fit in the socket
// buffers cannot leave, and the step that was sending names the failure.
struct StalledSendCase
{
    const char* name;
    bool bigSubject; // otherwise a big body
    const char* expected;
};

class MailSenderStalledSendTest : public MailSenderTest,
                                  public ::testing::WithParamInterface<StalledSendCase>
{
};

TEST_P(MailSenderStalledSendTest, failsWithTheSendStepsText)
{
    const std::string big(8 * 1024 * 1024, 'x');
    if (GetParam().bigSubject)
        info.setSubject(big);
    else
        text = SMailer::TextPlainContent(big, "gb2312");
    Script script;
    script.deafAfter = "DATA";
    ScriptedSmtpServer server(script);
    const auto start = std::chrono::steady_clock::now();
    lastFailure = FailureOf(
        [&]
        {
            SMailer::SessionOptions o = options(server.port());
            o.timeout = 300ms;
            SMailer::MailSender sender("127.0.0.1", "", "", o);
            SMailer::MailWrapper wrapper(&info);
            sender.setMail(&wrapper);
            sender.send();
        });
    EXPECT_EQ(lastFailure, GetParam().expected);
    // The send and the QUIT that follows are both bounded by the time-out, far
    // below the 30 s command limit (the bound leaves room for sanitizer builds).
    EXPECT_LT(std::chrono::steady_clock::now() - start, 25s);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, MailSenderStalledSendTest,
    ::testing::Values(StalledSendCase{"header", true, "Send mail header error"},
                      StalledSendCase{"content", false, "Send mail content error"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MailSenderTest, unresolvableServerFails)
{
    EXPECT_EQ(
        FailureOf([&] { SMailer::MailSender s(UnresolvableHostName(), "", "", options(25)); }),
        "Get server infomation error");
    EXPECT_TRUE(trace.empty());
}

TEST_F(MailSenderTest, refusedConnectionFailsAsConnectError)
{
    const std::uint16_t port = UnusedLoopbackPort();
    ASSERT_NE(port, 0);
    EXPECT_EQ(FailureOf([&] { SMailer::MailSender s("127.0.0.1", "", "", options(port)); }),
              "Server connect error");
}

TEST_F(MailSenderTest, serverClosingAfterGreetingFailsTheNextStep)
{
    Script script;
    script.closeAfterGreeting = true;
    {
        ScriptedSmtpServer server(script);
        EXPECT_EQ(run(server), "General server error");
        EXPECT_EQ(trace.back(), "[INFO]RECV(250):\n");
    }
    {
        ScriptedSmtpServer server(script);
        EXPECT_EQ(run(server, "u", "p"), "Server authentication error");
    }
}

TEST_F(MailSenderTest, silentServersTimeOutWithTheStepsText)
{
    const auto start = std::chrono::steady_clock::now();
    Script silent;
    silent.silent = true;
    {
        ScriptedSmtpServer server(silent);
        EXPECT_EQ(run(server), "Server connect error");
    }
    Script stallAtEnd;
    stallAtEnd.stallOn = "END";
    {
        ScriptedSmtpServer server(stallAtEnd);
        EXPECT_EQ(run(server), "General server error");
        // QUIT was still tried (and timed out too, which is ignored).
        const std::string transcript = server.transcript();
        EXPECT_EQ(transcript.substr(transcript.size() - 6), "QUIT\r\n");
    }
    // Three one-second waits, nowhere near the default 30 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

TEST_F(MailSenderTest, sendWithoutMailDoesNothingButQuit)
{
    ScriptedSmtpServer server(Script{});
    EXPECT_EQ(FailureOf(
                  [&]
                  {
                      SMailer::MailSender s("127.0.0.1", "", "", options(server.port()));
                      s.send();
                  }),
              "(no failure)");
    EXPECT_EQ(server.transcript(), "HELO " + host + "\r\nQUIT\r\n");
}
} // namespace
