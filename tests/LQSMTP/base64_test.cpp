#include "LQSMTP/base64.h"
#include "LQSMTP/exceptions.h"
#include "LQSMTP/socket_ops.h"
#include "LQSMTP/winsock_initializer.h"
#include "tests/LQSMTP/scripted_smtp_server.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
struct Base64Case
{
    std::string input;
    std::string expected;
};

class Base64Test : public ::testing::TestWithParam<Base64Case>
{
};

TEST_P(Base64Test, encodesWithStandardAlphabetAndPadding)
{
    EXPECT_EQ(MUtils::Base64Encode(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Known, Base64Test,
    ::testing::Values(Base64Case{"", ""}, Base64Case{"a", "YQ=="}, Base64Case{"ab", "YWI="},
                      Base64Case{"abc", "YWJj"},
                      Base64Case{"user@myzelk.test", "dXNlckBteXplbGsudGVzdA=="},
                      // all three bit positions of the last alphabet entries
                      Base64Case{std::string("\xff\xff\xff", 3), "////"},
                      Base64Case{std::string("\xfb\xef\xbe", 3), "++++"},
                      Base64Case{std::string("\0\0", 2), "AAA="},
                      // GB2312 "中文" encodes as its bytes, like any other bytes
                      Base64Case{"\xD6\xD0\xCE\xC4", "1tDOxA=="}));

TEST(Base64, longInputHasNoLineBreaks)
{
    const std::string sixty(60, 'x');
    const std::string encoded = MUtils::Base64Encode(sixty);
    EXPECT_EQ(encoded.size(), 80u);
    EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
}

TEST(SocketLayer, startsWithVersionTwoPointZero)
{
    MUtils::WinSockInitializer init;
    EXPECT_EQ(init.version(), MUtils::kSocketVersion20);
    MUtils::CleanupSockets();
}

TEST(SocketLayer, unresolvableNameFails)
{
    try
    {
        MUtils::ConnectToServer(UnresolvableHostName(), 25, std::chrono::seconds(5));
        FAIL() << "resolved a .invalid name";
    }
    catch (const SMailer::MailException& e)
    {
        EXPECT_STREQ(e.what(), "Get server infomation error");
    }
}

} // namespace
