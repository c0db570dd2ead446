#include "platform/net/mime_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size())
    {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
        {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string AllBytes()
{
    std::string s;
    for (int i = 0; i < 256; ++i)
        s += static_cast<char>(i);
    return s;
}
} // namespace

struct QpCase
{
    const char* name;
    std::string input;
};

class QuotedPrintableRoundTrip : public ::testing::TestWithParam<QpCase>
{
};

TEST_P(QuotedPrintableRoundTrip, DecodesToTheExactBytesWithinLineLimits)
{
    const std::string& input = GetParam().input;
    std::string encoded = EncodeQuotedPrintable(input);
    EXPECT_EQ(DecodeQuotedPrintable(encoded), input);
    for (const auto& line : Lines(encoded))
    {
        EXPECT_LE(line.size(), 76u) << line;
        for (unsigned char c : line)
            EXPECT_TRUE((c >= 32 && c <= 126) || c == '\t')
                << "raw byte " << int(c) << " in " << line;
        if (!line.empty())
        {
            EXPECT_NE(line.back(), ' ') << "trailing blank would be lost in transport";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuotedPrintableRoundTrip,
    ::testing::Values(QpCase{"empty", ""}, QpCase{"crlf", "line one\r\nline two\r\n"},
                      QpCase{"lone_lf", "unix\nlines\n"}, QpCase{"lone_cr", "old\rmac\r"},
                      QpCase{"blank_before_break", "tail  \r\nnext\t\r\n"},
                      QpCase{"blank_at_end", "ends with "}, QpCase{"equals", "a=b==c="},
                      QpCase{"long", std::string(500, 'x')},
                      QpCase{"long_escapes", std::string(300, '\xD6')},
                      QpCase{"gbk", "\xC4\xE3\xBA\xC3 ZELK"}, QpCase{"all_bytes", AllBytes()},
                      QpCase{"crlf_split",
                             std::string(74, 'a') + "\r\n" + std::string(80, 'b') + "\r"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QuotedPrintable, CrLfBecomesAHardBreakAndEqualsIsEscaped)
{
    EXPECT_EQ(EncodeQuotedPrintable("a=b\r\nc"), "a=3Db\r\nc");
    EXPECT_EQ(EncodeQuotedPrintable("x \r\n"), "x=20\r\n");
    EXPECT_EQ(DecodeQuotedPrintable("soft=\r\nbreak=3d=41"), "softbreak=A");
    EXPECT_EQ(DecodeQuotedPrintable("lf=\nonly"), "lfonly");
    EXPECT_EQ(DecodeQuotedPrintable("keep\r\nhard\nbreaks"), "keep\r\nhard\nbreaks");
}

TEST(QuotedPrintable, MalformedEscapesAreKept)
{
    EXPECT_EQ(DecodeQuotedPrintable("100=%  =G1 end="), "100=%  =G1 end");
    EXPECT_EQ(DecodeQuotedPrintable("x=ZZ cut=4"), "x=ZZ cut=4");
}

TEST(Base64, KnownVectors)
{
    const std::pair<std::string, std::string> table[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\0\xff\xfe", 3), "AP/+"},
    };
    for (const auto& [plain, coded] : table)
    {
        EXPECT_EQ(EncodeBase64Lines(plain), coded);
        EXPECT_EQ(DecodeBase64(coded).value_or("?"), plain);
    }
}

TEST(Base64, LinesOf76AndExactRoundTrip)
{
    std::string data;
    for (int i = 0; i < 1000; ++i)
        data += static_cast<char>((i * 7919) & 0xFF);
    std::string encoded = EncodeBase64Lines(data);
    auto lines = Lines(encoded);
    ASSERT_GT(lines.size(), 1u);
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i].size(), 76u);
    EXPECT_EQ(DecodeBase64(encoded).value_or(""), data);
}

TEST(Base64, RejectsStrayCharacters)
{
    EXPECT_FALSE(DecodeBase64("Zm9v!").has_value());
    EXPECT_FALSE(DecodeBase64("Zg==Zg").has_value());
    EXPECT_TRUE(DecodeBase64("Zm9v\r\nYmFy").has_value());
}

TEST(Base64, LenientDecodingSkipsStrayBytesAndStopsAtPadding)
{
    EXPECT_EQ(DecodeBase64Lenient("Zm9v!Ym*Fy"), "foobar");
    EXPECT_EQ(DecodeBase64Lenient("Zg==Zm9v"), "f");
    EXPECT_EQ(DecodeBase64Lenient("aGVs\r\n bG8="), "hello");
    EXPECT_EQ(DecodeBase64Lenient("!!!"), "");
}
