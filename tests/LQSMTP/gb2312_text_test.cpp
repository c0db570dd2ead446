#include "gb2312_text.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
struct Utf8Case
{
    std::string bytes;
    bool valid;
};

class Utf8ValidityTest : public ::testing::TestWithParam<Utf8Case>
{
};

TEST_P(Utf8ValidityTest, acceptsOnlyWellFormedUtf8)
{
    EXPECT_EQ(SMailer::IsValidUtf8(GetParam().bytes), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(Sequences, Utf8ValidityTest,
                         ::testing::Values(Utf8Case{"", true}, Utf8Case{"plain", true},
                                           Utf8Case{"\xE4\xB8\xAD\xE6\x96\x87", true}, // 中文
                                           Utf8Case{"\xF0\x9F\x98\x80", true},         // emoji
                                           Utf8Case{"\xD6\xD0\xCE\xC4", false},   // GB2312 中文
                                           Utf8Case{"\xC0\xAF", false},           // overlong "/"
                                           Utf8Case{"\xED\xA0\x80", false},       // surrogate
                                           Utf8Case{"\xE4\xB8", false},           // cut short
                                           Utf8Case{"\xF4\x90\x80\x80", false})); // beyond U+10FFFF

TEST(GbkFromUtf8, convertsChineseAndKeepsAscii)
{
    EXPECT_EQ(SMailer::GbkFromUtf8("ab \xE4\xB8\xAD\xE6\x96\x87\r\n"), "ab \xD6\xD0\xCE\xC4\r\n");
    EXPECT_EQ(SMailer::GbkFromUtf8(""), "");
}

TEST(GbkFromUtf8, refusesWhatItCannotCarry)
{
    EXPECT_FALSE(SMailer::GbkFromUtf8("smile \xF0\x9F\x98\x80").has_value());
    EXPECT_FALSE(SMailer::GbkFromUtf8("\xD6\xD0\xCE\xC4").has_value());
}

TEST(MailTextFromCaller, neverLosesText)
{
    EXPECT_EQ(SMailer::MailTextFromCaller("\xE6\x84\x8F\xE8\xA7\x81"), "\xD2\xE2\xBC\xFB"); // 意见
    // Already GB2312, or beyond GB2312: passed on as given.
    EXPECT_EQ(SMailer::MailTextFromCaller("\xD2\xE2\xBC\xFB"), "\xD2\xE2\xBC\xFB");
    EXPECT_EQ(SMailer::MailTextFromCaller("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
}
} // namespace
