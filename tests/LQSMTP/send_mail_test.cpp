#include "base64.h"
#include "scripted_smtp_server.h"
#include "send_mail.h"
#include "socket_ops.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
using Script = ScriptedSmtpServer::Script;
using namespace std::chrono_literals;

constexpr std::time_t kSunday2007 = 1168131907;

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

    int send(ScriptedSmtpServer& server, const char* user, const char* unused = "ignored")
    {
        SMailer::SessionOptions options;
        options.port = server.port();
        options.timeout = 1s;
        options.trace = [](const std::string&) {};
        SMailer::MailArguments args{
            user,   "pw",    "127.0.0.1", "me@myzelk.test", "Quill", "support@myzelk.test",
            unused, subject, body};
        return SMailer::SendOneMail(args, options, error, [] { return kSunday2007; });
    }

    bool errorUntouched() const
    {
        for (std::size_t i = 0; i + 1 < sizeof error; ++i)
            if (error[i] != 'Z')
                return false;
        return true;
    }

    const char* subject = "\xD2\xE2\xBC\xFB\xB7\xB4\xC0\xA1"; // GB2312 "意见反馈"
    const char* body = "\xC4\xE3\xBA\xC3\r\n.dot line";
    char error[64];
};

TEST_F(SendOneMailTest, wholeDialogueIsByteForByte)
{
    ScriptedSmtpServer server(Script{});
    ASSERT_EQ(send(server, "quillmere"), 1);
    EXPECT_TRUE(errorUntouched());
    const std::string host = MUtils::LocalHostName();
    EXPECT_EQ(server.transcript(), "AUTH LOGIN\r\n" + MUtils::Base64Encode("quillmere") + "\r\n" +
                                       MUtils::Base64Encode("pw") +
                                       "\r\n"
                                       "HELO " +
                                       host +
                                       "\r\n"
                                       "MAIL FROM: <me@myzelk.test>\r\n"
                                       "RCPT TO: <support@myzelk.test>\r\n"
                                       "DATA\r\n"
                                       "From: \"Quill\" <me@myzelk.test>\r\n"
                                       "To: \"Quill\" <support@myzelk.test>\r\n"
                                       "Date: Sun, 07 Jan 07 09:05:07 +0800\r\n"
                                       "Subject: \xD2\xE2\xBC\xFB\xB7\xB4\xC0\xA1\r\n"
                                       "X-Mailer: SMailer\r\n"
                                       "X-Priority: 3\r\n"
                                       "MIME-Version: 1.0\r\n"
                                       "Content-type: multipart/mixed; boundary=\"#BOUNDARY#\"\r\n"
                                       "\r\n"
                                       "--#BOUNDARY#\r\n"
                                       "Content-Type: text/plain; charset=gb2312\r\n"
                                       "Content-Transfer-Encoding: 8bit\r\n"
                                       "\r\n"
                                       "\xC4\xE3\xBA\xC3\r\n..dot line\r\n\r\n"
                                       "\r\n--#BOUNDARY#--\r\n.\r\n"
                                       "QUIT\r\n");
}

TEST_F(SendOneMailTest, utf8TextsGoOutInGb2312)
{
    subject = "\xE6\x84\x8F\xE8\xA7\x81\xE5\x8F\x8D\xE9\xA6\x88"; // 意见反馈
    body = "\xE4\xBD\xA0\xE5\xA5\xBD";                            // 你好
    ScriptedSmtpServer server(Script{});
    ASSERT_EQ(send(server, ""), 1);
    const std::string transcript = server.transcript();
    EXPECT_NE(transcript.find("\r\nSubject: \xD2\xE2\xBC\xFB\xB7\xB4\xC0\xA1\r\n"),
              std::string::npos);
    EXPECT_NE(transcript.find("charset=gb2312\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                              "\xC4\xE3\xBA\xC3\r\n"),
              std::string::npos);
}

TEST_F(SendOneMailTest, bodyBeyondGb2312GoesOutAsUtf8)
{
    body = "\xE4\xBD\xA0\xE5\xA5\xBD \xF0\x9F\x98\x80"; // 你好 and an emoji
    ScriptedSmtpServer server(Script{});
    ASSERT_EQ(send(server, ""), 1);
    EXPECT_NE(server.transcript().find("Content-Type: text/plain; charset=utf-8\r\n"
                                       "Content-Transfer-Encoding: 8bit\r\n\r\n"
                                       "\xE4\xBD\xA0\xE5\xA5\xBD \xF0\x9F\x98\x80\r\n"),
              std::string::npos);
}

TEST_F(SendOneMailTest, unusedArgumentChangesNothingTheServerSees)
{
    ScriptedSmtpServer first(Script{});
    ScriptedSmtpServer second(Script{});
    ASSERT_EQ(send(first, "", "one thing"), 1);
    ASSERT_EQ(send(second, "", "quite another\r\nthing"), 1);
    EXPECT_EQ(first.transcript(), second.transcript());
}

TEST_F(SendOneMailTest, failuresGiveZeroAndTheirText)
{
    Script wrongPassword;
    wrongPassword.replies["PASS"] = "535 5.7.8 Error: authentication failed\r\n";
    ScriptedSmtpServer server(wrongPassword);
    EXPECT_EQ(send(server, "quillmere"), 0);
    EXPECT_STREQ(error, "Password error");

    Script failingQuit;
    failingQuit.replies["QUIT"] = "500 no\r\n";
    ScriptedSmtpServer accepted(failingQuit);
    EXPECT_EQ(send(accepted, ""), 0);
    EXPECT_STREQ(error, "Server didn't terminate session");
}

TEST_F(SendOneMailTest, nullTextsCountAsEmptyAndNullErrorBufferIsNotWritten)
{
    ScriptedSmtpServer server(Script{});
    SMailer::SessionOptions options;
    options.port = server.port();
    options.timeout = 1s;
    options.trace = [](const std::string&) {};
    SMailer::MailArguments args{nullptr, nullptr, "127.0.0.1", "me@x", nullptr,
                                "you@x", nullptr, nullptr,     nullptr};
    ASSERT_EQ(SMailer::SendOneMail(args, options, nullptr), 1);
    const std::string transcript = server.transcript();
    EXPECT_EQ(transcript.find("AUTH"), std::string::npos);
    EXPECT_NE(transcript.find("\r\nFrom: <me@x>\r\nTo: <you@x>\r\n"), std::string::npos);

    args.server = nullptr;
    EXPECT_EQ(SMailer::SendOneMail(args, options, error), 0);
    EXPECT_STREQ(error, "Get server infomation error");
}
} // namespace
