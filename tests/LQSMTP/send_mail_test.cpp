#include "LQSMTP/base64.h"
#include "LQSMTP/send_mail.h"
#include "LQSMTP/socket_ops.h"
#include "tests/LQSMTP/mail_reader.h"
#include "tests/LQSMTP/scripted_smtp_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <regex>
#include <string>

namespace
{
using Script = ScriptedSmtpServer::Script;
using namespace std::chrono_literals;

constexpr std::time_t kSunday2007 = 1168131907;

std::string Repeat(const std::string& text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

class SendOneMailTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ::setenv("TZ", "CST-8", 1);
        ::tzset();
        std::memset(error, 'Z', sizeof error);
        error[sizeof error - 1] = '\0';
    }
    void TearDown() override
    {
        ::unsetenv("TZ");
        ::tzset();
    }

    SMailer::SessionOptions options(const ScriptedSmtpServer& server)
    {
        SMailer::SessionOptions o;
        o.port = server.port();
        o.timeout = 1s;
        o.trace = [this](const std::string& line) { trace.push_back(line); };
        return o;
    }

    int send(ScriptedSmtpServer& server, const char* user, const char* unused = "ignored")
    {
        return send(user, unused, options(server));
    }

    int send(const char* user, const char* unused, const SMailer::SessionOptions& o)
    {
        SMailer::MailArguments args{user,     "pw",   "127.0.0.1", sender, displayName,
                                    receiver, unused, subject,     body};
        return SMailer::SendOneMail(args, o, error, [] { return kSunday2007; });
    }

    bool errorUntouched() const
    {
        for (std::size_t i = 0; i + 1 < sizeof error; ++i)
            if (error[i] != 'Z')
                return false;
        return true;
    }

    const char* sender = "me@myzelk.test";
    const char* receiver = "support@myzelk.test";
    const char* displayName = "Quill";
    const char* subject = "Feedback from MyZELK";
    const char* body = "";
    char error[64];
    std::vector<std::string> trace;
};

// The whole session of a plain GB2312 mail with short CR LF lines, as the
// library sent it before encoded words, line-end and line-length handling
// existed. The HELO host name and the Message-ID are filled in per run.
const std::string kPlainMailBeforeHelo = "AUTH LOGIN\r\n"
                                         "cXVpbGxtZXJl\r\n"
                                         "cHc=\r\n";
const std::string kPlainMailAfterHelo = "MAIL FROM: <me@myzelk.test>\r\n"
                                        "RCPT TO: <support@myzelk.test>\r\n"
                                        "DATA\r\n"
                                        "From: \"Quill\" <me@myzelk.test>\r\n"
                                        "To: \"Quill\" <support@myzelk.test>\r\n"
                                        "Date: Sun, 07 Jan 07 09:05:07 +0800\r\n"
                                        "Subject: Feedback from MyZELK\r\n"
                                        "X-Mailer: SMailer\r\n"
                                        "X-Priority: 3\r\n"
                                        "MIME-Version: 1.0\r\n"
                                        "Content-type: multipart/mixed; boundary=\"#BOUNDARY#\"\r\n"
                                        "\r\n"
                                        "--#BOUNDARY#\r\n"
                                        "Content-Type: text/plain; charset=gb2312\r\n"
                                        "Content-Transfer-Encoding: 8bit\r\n"
                                        "\r\n"
                                        "\xC4\xE3\xBA\xC3\xA3\xAC\xCA\xC0\xBD\xE7\r\n"
                                        "\xB5\xDA\xB6\xFE\xD0\xD0 second line\r\n"
                                        "..dot line\r\n"
                                        "last\r\n"
                                        "\r\n"
                                        "\r\n"
                                        "--#BOUNDARY#--\r\n"
                                        ".\r\n"
                                        "QUIT\r\n";

TEST_F(SendOneMailTest, plainGb2312MailGoesOutAsItAlwaysDid)
{
    // 你好，世界 / 第二行 second line / .dot line / last, from a UTF-8 caller
    // and from an older caller that passes GB2312 bytes.
    const std::string utf8 = "\xE4\xBD\xA0\xE5\xA5\xBD\xEF\xBC\x8C\xE4\xB8\x96\xE7\x95\x8C\r\n"
                             "\xE7\xAC\xAC\xE4\xBA\x8C\xE8\xA1\x8C second line\r\n"
                             ".dot line\r\nlast";
    const std::string gb2312 = "\xC4\xE3\xBA\xC3\xA3\xAC\xCA\xC0\xBD\xE7\r\n"
                               "\xB5\xDA\xB6\xFE\xD0\xD0 second line\r\n"
                               ".dot line\r\nlast";
    const std::regex messageId("Message-ID: <[^<>@ ]+@myzelk\\.test>\r\n");
    for (const std::string& text : {utf8, gb2312})
    {
        body = text.c_str();
        ScriptedSmtpServer server(Script{});
        ASSERT_EQ(send(server, "quillmere"), 1);
        EXPECT_TRUE(errorUntouched());
        std::string transcript = server.transcript();
        // The one added line: a Message-ID at the end of the header.
        const std::size_t at = transcript.find("Message-ID: ");
        ASSERT_NE(at, std::string::npos) << transcript;
        const std::size_t end = transcript.find("\r\n", at) + 2;
        EXPECT_TRUE(std::regex_match(transcript.substr(at, end - at), messageId))
            << transcript.substr(at, end - at);
        EXPECT_EQ(transcript.compare(end, 16, "\r\n--#BOUNDARY#\r\n"), 0);
        transcript.erase(at, end - at);
        EXPECT_EQ(transcript, kPlainMailBeforeHelo + "HELO " + MUtils::LocalHostName() + "\r\n" +
                                  kPlainMailAfterHelo);
    }
}

// What a strict reader shows of a mail must be what the caller wrote, whatever
// the text holds.
struct ReaderCase
{
    const char* name;
    std::string displayName;
    std::string subject;
    std::string body;      // as the caller gives it
    std::string shownBody; // as a reader shows it (UTF-8, LF line ends)
    const char* charset;   // declared by the text part
};

class SendOneMailReaderTest : public SendOneMailTest,
                              public ::testing::WithParamInterface<ReaderCase>
{
};

TEST_P(SendOneMailReaderTest, aReaderShowsWhatTheCallerWrote)
{
    const ReaderCase& c = GetParam();
    displayName = c.displayName.c_str();
    subject = c.subject.c_str();
    body = c.body.c_str();
    ScriptedSmtpServer server(Script{});
    ASSERT_EQ(send(server, ""), 1) << error;
    const std::string message = MessageInTranscript(server.transcript());
    ASSERT_FALSE(message.empty()) << server.transcript();
    ReaderView shown = ReadLikeAMailReader(message);
    ASSERT_FALSE(shown.empty()) << "the mail reader did not run";

    EXPECT_EQ(shown["from.count"], "1");
    EXPECT_EQ(shown["from.0.name"], c.displayName);
    EXPECT_EQ(shown["from.0.address"], "me@myzelk.test");
    EXPECT_EQ(shown["to.count"], "1");
    EXPECT_EQ(shown["to.0.name"], c.displayName);
    EXPECT_EQ(shown["subject"], c.subject);
    // What every relay carries: ASCII header lines, CR LF line ends, lines of
    // at most 998 bytes.
    EXPECT_EQ(shown["header-ascii"], "1");
    EXPECT_EQ(shown["bare-lf"], "0");
    EXPECT_LE(std::stoul(shown["longest-line"]), 998u);
    EXPECT_EQ(shown["defects"], "0");
    EXPECT_EQ(shown["parts"], "1");
    EXPECT_EQ(shown["part.0.charset"], c.charset);
    EXPECT_EQ(shown["part.0.error"], "");
    EXPECT_EQ(shown["part.0.text"], c.shownBody + "\n\n");
}

// 中文段落测试。 seven characters, 602 in all: 1204 bytes on one GB2312 line.
const std::string kParagraph = Repeat(
    "\xE4\xB8\xAD\xE6\x96\x87\xE6\xAE\xB5\xE8\x90\xBD\xE6\xB5\x8B\xE8\xAF\x95\xE3\x80\x82", 86);
// 意见反馈测试。 likewise.
const std::string kLongSubject = Repeat(
    "\xE6\x84\x8F\xE8\xA7\x81\xE5\x8F\x8D\xE9\xA6\x88\xE6\xB5\x8B\xE8\xAF\x95\xE3\x80\x82", 86);
// 镕 喆 堃 and 軟體: in GBK, not in GB2312.
const std::string kBeyondGb2312 = "\xE9\x95\x95 \xE5\x96\x86 \xE5\xA0\x83 \xE8\xBB\x9F\xE9\xAB\x94";

INSTANTIATE_TEST_SUITE_P(
    Texts, SendOneMailReaderTest,
    ::testing::Values(
        ReaderCase{"bareLineFeeds", "Quill", "Lines", "l1\nl2\nl3\na\n.\nb", "l1\nl2\nl3\na\n.\nb",
                   "gb2312"},
        ReaderCase{"linesLongerThanSmtpCarries", "Quill", kLongSubject,
                   kParagraph + "\r\n" + std::string(1500, 'x'),
                   kParagraph + "\n" + std::string(1500, 'x'), "gb2312"},
        ReaderCase{"quoteInDisplayName", "Eve\" <evil@attacker.example>, \"Bob", "Hi", "Body",
                   "Body", "gb2312"},
        ReaderCase{"chineseSubjectAndName",
                   "\xE5\xBC\xA0\xE4\xB8\x89",                         // 张三
                   "\xE6\x84\x8F\xE8\xA7\x81\xE5\x8F\x8D\xE9\xA6\x88", // 意见反馈
                   "\xE4\xBD\xA0\xE5\xA5\xBD", "\xE4\xBD\xA0\xE5\xA5\xBD", "gb2312"}, // 你好
        ReaderCase{"textBeyondGb2312", "\xE5\x96\x86", kBeyondGb2312, kBeyondGb2312, kBeyondGb2312,
                   "gbk"},
        ReaderCase{"gbkBytesFromAnOlderCaller", "Quill", "Hi", "\xE9\x46", "\xE9\x95\x95", "gbk"},
        ReaderCase{"textBeyondGbk", "Quill", "smile \xF0\x9F\x98\x80",
                   "\xE4\xBD\xA0\xE5\xA5\xBD \xF0\x9F\x98\x80",
                   "\xE4\xBD\xA0\xE5\xA5\xBD \xF0\x9F\x98\x80", "utf-8"},
        ReaderCase{"longAsciiSubject", "Quill", Repeat("word  ", 30) + "end ", "Body", "Body",
                   "gb2312"},
        ReaderCase{"subjectThatLooksEncoded", "Quill", "=?utf-8?B?5byg?=", "Body", "Body",
                   "gb2312"},
        // 张三 / 意见 stay readable whatever bytes the body holds.
        ReaderCase{"unreadableByteInBody", "\xE5\xBC\xA0\xE4\xB8\x89", "\xE6\x84\x8F\xE8\xA7\x81",
                   "abc\xFF def", "abc\xEF\xBF\xBD def", "utf-8"},
        // 你好 and the first two bytes of a third character.
        ReaderCase{"utf8CutShort", "Quill", "Hi", "\xE4\xBD\xA0\xE5\xA5\xBD\xE4\xBD",
                   "\xE4\xBD\xA0\xE5\xA5\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "utf-8"},
        ReaderCase{"bodyHoldingTheBoundary", "Quill", "Hi",
                   "before\r\n--#BOUNDARY#\r\nContent-Type: text/html\r\n\r\nfake\r\n"
                   "--#BOUNDARY#--\r\nafter",
                   "before\n--#BOUNDARY#\nContent-Type: text/html\n\nfake\n--#BOUNDARY#--\nafter",
                   "gb2312"}),
    [](const auto& info) { return std::string(info.param.name); });

struct AddressCase
{
    const char* name;
    const char* sender;
    const char* receiver;
    const char* expected;
};

class SendOneMailAddressTest : public SendOneMailTest,
                               public ::testing::WithParamInterface<AddressCase>
{
};

TEST_P(SendOneMailAddressTest, addressThatWouldSplitIsRefusedBeforeAnythingIsSent)
{
    sender = GetParam().sender;
    receiver = GetParam().receiver;
    {
        ScriptedSmtpServer server(Script{});
        EXPECT_EQ(send(server, "quillmere"), 0);
        EXPECT_STREQ(error, GetParam().expected);
        EXPECT_EQ(server.sessions(), 0);
    }
    EXPECT_TRUE(trace.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, SendOneMailAddressTest,
    ::testing::Values(AddressCase{"secondSender", "me@myzelk.test>, <evil@attacker.example",
                                  "support@myzelk.test", "Send MAIL FROM cmd error"},
                      AddressCase{"commandInSender",
                                  "me@myzelk.test>\r\nRCPT TO:<evil@attacker.example",
                                  "support@myzelk.test", "Send MAIL FROM cmd error"},
                      AddressCase{"secondReceiver", "me@myzelk.test",
                                  "support@myzelk.test, evil@attacker.example",
                                  "Send RCPT TO cmd error"},
                      AddressCase{"quotedReceiver", "me@myzelk.test", "\"support\"@myzelk.test",
                                  "Send RCPT TO cmd error"},
                      AddressCase{"nonAsciiReceiver", "me@myzelk.test", "\xE5\xBC\xA0@myzelk.test",
                                  "Send RCPT TO cmd error"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SendOneMailTest, everyMailHasItsOwnMessageId)
{
    const std::regex messageId("<[!-;=?-~]+@myzelk\\.test>");
    std::string ids[2];
    for (std::string& id : ids)
    {
        ScriptedSmtpServer server(Script{});
        ASSERT_EQ(send(server, ""), 1);
        id = ReadLikeAMailReader(MessageInTranscript(server.transcript()))["message-id"];
        EXPECT_TRUE(std::regex_match(id, messageId)) << id;
    }
    EXPECT_NE(ids[0], ids[1]);
}

// Once the server has taken the mail it counts as sent: a caller that hears
// otherwise sends it again, and the receiver gets two.
TEST_F(SendOneMailTest, acceptedMailCountsAsSent)
{
    Script slowToAccept; // slower than a command may take, as a server checking the mail is
    slowToAccept.slowOn = "END";
    slowToAccept.slowBy = 1500ms;
    Script hangsUpAfterAccepting;
    hangsUpAfterAccepting.closeAfter = "END";
    Script refusesQuit;
    refusesQuit.replies["QUIT"] = "500 no\r\n";
    for (const Script& script : {slowToAccept, hangsUpAfterAccepting, refusesQuit})
    {
        ScriptedSmtpServer server(script);
        SMailer::SessionOptions o = options(server);
        o.timeout = 500ms;
        EXPECT_EQ(send("", "", o), 1) << error;
        EXPECT_TRUE(errorUntouched());
        EXPECT_EQ(server.sessions(), 1);
    }
}

// A connection that falls silent once the mail is taken holds the caller no
// longer than a moment.
TEST_F(SendOneMailTest, acceptedMailDoesNotWaitLongForTheAnswerToQuit)
{
    Script script;
    script.stallOn = "QUIT";
    ScriptedSmtpServer server(script);
    SMailer::SessionOptions o = options(server);
    o.timeout = 20s;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(send("", "", o), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 15s);
}

TEST_F(SendOneMailTest, cleanupAfterATimeOutDoesNotWaitAgain)
{
    Script script;
    script.stallOn = "RCPT";
    ScriptedSmtpServer server(script);
    SMailer::SessionOptions o = options(server);
    o.timeout = 2s;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(send("", "", o), 0);
    EXPECT_STREQ(error, "General server error");
    // One time-out for the RCPT reply, and not a second one for QUIT's.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    const std::string transcript = server.transcript();
    EXPECT_EQ(transcript.substr(transcript.size() - 6), "QUIT\r\n");
}

TEST_F(SendOneMailTest, traceIsOffByDefaultAndNeverShowsCredentials)
{
    {
        ScriptedSmtpServer server(Script{});
        SMailer::SessionOptions quiet;
        quiet.port = server.port();
        quiet.timeout = 1s;
        ::testing::internal::CaptureStdout();
        const int result = send("quillmere", "", quiet);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(result, 1);
    }
    ScriptedSmtpServer server(Script{});
    ASSERT_EQ(send(server, "quillmere"), 1);
    ASSERT_GE(trace.size(), 6u);
    EXPECT_EQ(trace[1], "[INFO]SEND:AUTH LOGIN\r\n\n");
    EXPECT_EQ(trace[3], "[INFO]SEND:********\r\n\n");
    EXPECT_EQ(trace[5], "[INFO]SEND:********\r\n\n");
    for (const std::string& line : trace)
    {
        EXPECT_EQ(line.find(MUtils::Base64Encode("quillmere")), std::string::npos) << line;
        EXPECT_EQ(line.find(MUtils::Base64Encode("pw")), std::string::npos) << line;
    }
}

TEST_F(SendOneMailTest, unusedArgumentChangesNothingTheServerSees)
{
    auto withoutMessageId = [](std::string transcript)
    {
        const std::size_t at = transcript.find("Message-ID: ");
        if (at != std::string::npos)
            transcript.erase(at, transcript.find("\r\n", at) + 2 - at);
        return transcript;
    };
    ScriptedSmtpServer first(Script{});
    ScriptedSmtpServer second(Script{});
    ASSERT_EQ(send(first, "", "one thing"), 1);
    ASSERT_EQ(send(second, "", "quite another\r\nthing"), 1);
    EXPECT_EQ(withoutMessageId(first.transcript()), withoutMessageId(second.transcript()));
}

TEST_F(SendOneMailTest, wrongPasswordGivesZeroAndItsText)
{
    Script wrongPassword;
    wrongPassword.replies["PASS"] = "535 5.7.8 Error: authentication failed\r\n";
    ScriptedSmtpServer server(wrongPassword);
    EXPECT_EQ(send(server, "quillmere"), 0);
    EXPECT_STREQ(error, "Password error");
}

TEST_F(SendOneMailTest, nullTextsCountAsEmptyAndNullErrorBufferIsNotWritten)
{
    ScriptedSmtpServer server(Script{});
    SMailer::SessionOptions o;
    o.port = server.port();
    o.timeout = 1s;
    SMailer::MailArguments args{nullptr, nullptr, "127.0.0.1", "me@x", nullptr,
                                "you@x", nullptr, nullptr,     nullptr};
    ASSERT_EQ(SMailer::SendOneMail(args, o, nullptr), 1);
    const std::string transcript = server.transcript();
    EXPECT_EQ(transcript.find("AUTH"), std::string::npos);
    EXPECT_NE(transcript.find("\r\nFrom: <me@x>\r\nTo: <you@x>\r\n"), std::string::npos);

    args.server = nullptr;
    EXPECT_EQ(SMailer::SendOneMail(args, o, error), 0);
    EXPECT_STREQ(error, "Get server infomation error");
}
} // namespace
