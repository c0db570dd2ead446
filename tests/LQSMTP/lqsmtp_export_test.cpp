// The exported class, as an outside caller sees it: the shared library on port 25.
#include "LQSMTP/LQSMTP.h"
#include "tests/LQSMTP/scripted_smtp_server.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <string>

namespace
{
class CLQSMTPTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::memset(error, 'Z', sizeof error);
        error[sizeof error - 1] = '\0';
    }

    int send(const char* server, const char* user, const char* password)
    {
        return smtp.SendMail(user, password, server, "me@myzelk.test", "Quill",
                             "support@myzelk.test", "", "Subject", "Body", error);
    }

    CLQSMTP smtp;
    char error[64];
};

TEST_F(CLQSMTPTest, deliversOnPort25AndLeavesErrorUntouched)
{
    // Port 25 of 127.0.0.1 may belong to a system server; any other loopback
    // address works as well.
    std::string address;
    auto server = ScriptedServerOnPort25(ScriptedSmtpServer::Script{}, &address);
    if (!server)
        GTEST_SKIP() << "port 25 is taken on 127.0.0.2 to 127.0.0.20";
    EXPECT_EQ(send(address.c_str(), "quillmere", "pw"), 1);
    EXPECT_EQ(error[0], 'Z');
    const std::string transcript = server->transcript();
    EXPECT_EQ(transcript.rfind("AUTH LOGIN\r\n", 0), 0u) << transcript;
    EXPECT_NE(transcript.find("To: \"Quill\" <support@myzelk.test>\r\n"), std::string::npos);
    EXPECT_NE(transcript.find("\r\n\r\nBody\r\n\r\n\r\n--#BOUNDARY#--\r\n.\r\nQUIT\r\n"),
              std::string::npos);
}

TEST_F(CLQSMTPTest, reportsFailuresAsZeroWithText)
{
    EXPECT_EQ(send(UnresolvableHostName().c_str(), "", ""), 0);
    EXPECT_STREQ(error, "Get server infomation error");

    // Free a moment ago, so nothing listens: the connection is refused.
    const std::string unused = FreeLoopbackAddressForPort25(41, 60);
    if (unused.empty())
        GTEST_SKIP() << "port 25 is taken on 127.0.0.41 to 127.0.0.60";
    EXPECT_EQ(send(unused.c_str(), "", ""), 0);
    EXPECT_STREQ(error, "Server connect error");

    ScriptedSmtpServer::Script script;
    script.replies["PASS"] = "535 5.7.8 Error: authentication failed\r\n";
    std::string address;
    auto server = ScriptedServerOnPort25(script, &address);
    if (!server)
        GTEST_SKIP() << "port 25 is taken on 127.0.0.2 to 127.0.0.20";
    EXPECT_EQ(send(address.c_str(), "quillmere", "wrong"), 0);
    EXPECT_STREQ(error, "Password error");
}

TEST_F(CLQSMTPTest, traceIsOffUntilACallerTurnsItOn)
{
    std::string address;
    auto server = ScriptedServerOnPort25(ScriptedSmtpServer::Script{}, &address);
    if (!server)
        GTEST_SKIP() << "port 25 is taken on 127.0.0.2 to 127.0.0.20";
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(send(address.c_str(), "quillmere", "pw"), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

    std::string collected;
    CLQSMTP::SetTrace([](const char* line, void* context)
                      { *static_cast<std::string*>(context) += line; },
                      &collected);
    EXPECT_EQ(send(address.c_str(), "quillmere", "pw"), 1);
    EXPECT_NE(collected.find("[INFO]SEND:AUTH LOGIN\r\n\n[INFO]RECV(334):334 VXNlcm5hbWU6\r\n\n"
                             "[INFO]SEND:********\r\n\n"),
              std::string::npos)
        << collected;
    EXPECT_NE(collected.find("[INFO]RECV(221):221 2.0.0 Bye\r\n\n"), std::string::npos);
    EXPECT_EQ(collected.find("cXVpbGxtZXJl"), std::string::npos); // the user name in Base64

    CLQSMTP::SetTrace(&CLQSMTP::TraceToStandardOutput, nullptr);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(send(address.c_str(), "", ""), 1);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    CLQSMTP::SetTrace(nullptr, nullptr);
    EXPECT_EQ(printed.rfind("[INFO]RECV(220):220 scripted ESMTP\r\n\n[INFO]SEND:HELO ", 0), 0u)
        << printed;
}

TEST(CLQSMTPLibrary, exportsOnlyTheClass)
{
    void* self = ::dlopen("libLQSMTP.so.1", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(self, nullptr) << ::dlerror();
    EXPECT_NE(::dlsym(self, "_ZN7CLQSMTP8SendMailEPKcS1_S1_S1_S1_S1_S1_S1_S1_Pc"), nullptr);
    EXPECT_EQ(
        ::dlsym(self, "_ZN7MUtils12Base64EncodeB5cxx11ESt17basic_string_viewIcSt11char_traitsIcEE"),
        nullptr);
    EXPECT_EQ(::dlsym(self, "_ZN7SMailer11SendOneMailERKNS_13MailArgumentsERKNS_"
                            "14SessionOptionsEPcSt8functionIFlvEE"),
              nullptr);
    ::dlclose(self);
}
} // namespace
