#include "platform/text.h"

#include <gtest/gtest.h>

TEST(Text, Utf8AndUtf16RoundTripIncludingSurrogates)
{
    const std::string s = "ZELK\xE7\xA4\xBE\xE5\x8C\xBA \xF0\x9F\x98\x80";
    const std::u16string w = Utf16FromUtf8(s);
    EXPECT_EQ(w.size(), 4u + 2u + 1u + 2u);
    EXPECT_EQ(Utf8FromUtf16(w), s);
}

TEST(Text, MalformedUtf8BecomesReplacementNotLoss)
{
    const std::u16string w = Utf16FromUtf8("a\xC3(b\xE0\x80\xAF");
    EXPECT_EQ(w[0], u'a');
    EXPECT_EQ(w[1], 0xFFFD);
    EXPECT_EQ(w[2], u'(');
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));     // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_TRUE(IsValidUtf8("\xE4\xB8\xAD"));
}

TEST(Text, GbkConversionsBothWays)
{
    // "社区" in GBK and UTF-8.
    const std::string gbk = "\xC9\xE7\xC7\xF8";
    const std::string utf8 = "\xE7\xA4\xBE\xE5\x8C\xBA";
    EXPECT_EQ(Utf8FromGbk(gbk), utf8);
    EXPECT_EQ(GbkFromUtf8(utf8), gbk);
    EXPECT_EQ(*ConvertCharset(gbk, "GB2312", "utf-8"), utf8);
    EXPECT_FALSE(ConvertCharset("x", "no-such-charset", "UTF-8").has_value());
}

TEST(Text, DecodeToUtf8HonoursBomDeclaredCharsetAndMislabels)
{
    EXPECT_EQ(DecodeToUtf8("\xEF\xBB\xBFok", "gb2312"), "ok");
    EXPECT_EQ(DecodeToUtf8("\xC9\xE7\xC7\xF8", "\"GB2312\""), "\xE7\xA4\xBE\xE5\x8C\xBA");
    // Claimed UTF-8 but really GBK.
    EXPECT_EQ(DecodeToUtf8("\xC9\xE7\xC7\xF8", "utf-8"), "\xE7\xA4\xBE\xE5\x8C\xBA");
    EXPECT_EQ(DecodeToUtf8("caf\xE9", "iso-8859-1"), "caf\xC3\xA9");
}

TEST(Text, CaseFoldingIsAsciiOnly)
{
    EXPECT_TRUE(EqualsIgnoreCaseAscii(std::string_view("ITEM"), std::string_view("item")));
    EXPECT_FALSE(EqualsIgnoreCaseAscii(std::string_view("Item"), std::string_view("Items")));
    EXPECT_TRUE(
        EqualsIgnoreCaseAscii(std::u16string_view(u"Topic"), std::u16string_view(u"TOPIC")));
}

TEST(Text, OneUnencodableCharacterBecomesOneQuestionMark)
{
    // An emoji has no GBK form: one '?' for it, the text around it kept.
    EXPECT_EQ(GbkFromUtf8("a\xF0\x9F\x98\x80"
                          "b\xE7\xA4\xBE"),
              "a?b\xC9\xE7");
    // Malformed input bytes are replaced one by one.
    EXPECT_EQ(GbkFromUtf8("a\xFF\xFE"
                          "b"),
              "a??b");
}
