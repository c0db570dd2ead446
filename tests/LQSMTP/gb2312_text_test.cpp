#include "LQSMTP/gb2312_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

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

struct CharsetCase
{
    const char* name;
    std::vector<std::string> texts;
    std::optional<SMailer::MailCharset> expected;
};

class CharsetForTest : public ::testing::TestWithParam<CharsetCase>
{
};

TEST_P(CharsetForTest, picksTheNarrowestThatHoldsEveryText)
{
    const auto& t = GetParam().texts;
    const auto found =
        t.size() == 1 ? SMailer::CharsetFor({t[0]}) : SMailer::CharsetFor({t[0], t[1]});
    EXPECT_EQ(found, GetParam().expected);
}

using SMailer::MailCharset;
INSTANTIATE_TEST_SUITE_P(
    Texts, CharsetForTest,
    ::testing::Values(
        CharsetCase{"ascii", {"plain"}, MailCharset::Gb2312},
        CharsetCase{"gb2312", {"\xE6\x84\x8F\xE8\xA7\x81"}, MailCharset::Gb2312}, // 意见
        CharsetCase{"gb2312Bytes", {"\xD2\xE2\xBC\xFB"}, MailCharset::Gb2312},
        CharsetCase{"gbkOnly", {"\xE9\x95\x95"}, MailCharset::Gbk}, // 镕
        CharsetCase{"gbkBytes", {"\xE9\x46"}, MailCharset::Gbk},    // 镕 in GBK
        // Code page 936 writes the euro sign as the lone byte 0x80, which no GBK reader takes.
        CharsetCase{"euro", {"\xE2\x82\xAC"}, MailCharset::Utf8},
        CharsetCase{"mixed", {"\xD2\xE2\xBC\xFB", "\xF0\x9F\x98\x80"}, MailCharset::Utf8},
        CharsetCase{"neither", {"\xFF\xFF"}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextInCharset, convertsOlderCallersBytesWhereNeeded)
{
    EXPECT_EQ(SMailer::TextInCharset("\xE9\x46", MailCharset::Gbk), "\xE9\x46");
    EXPECT_EQ(SMailer::TextInCharset("\xE9\x46", MailCharset::Utf8), "\xE9\x95\x95");
    EXPECT_EQ(SMailer::TextInCharset("\xE9\x46", MailCharset::Gb2312), std::nullopt);
    EXPECT_EQ(SMailer::TextInCharset("\xE9\x95\x95", MailCharset::Gbk), "\xE9\x46");
}
} // namespace
