#include "acquire/import_common.h"
#include "acquire/page_import.h"

#include <gtest/gtest.h>

namespace
{

struct CharsetCase
{
    const char* text;
    long index; // -1: none found
    const char* charset;
};

class ExtractCharsetTest : public testing::TestWithParam<CharsetCase>
{
};

TEST_P(ExtractCharsetTest, ReadsTheDeclaredValue)
{
    std::string charset = "unchanged";
    EXPECT_EQ(ExtractCharset(GetParam().text, charset), GetParam().index) << GetParam().text;
    EXPECT_EQ(charset, GetParam().charset);
}

INSTANTIATE_TEST_SUITE_P(
    Declarations, ExtractCharsetTest,
    testing::Values(CharsetCase{"content=\"text/html; charset=utf-8\">", 28, "utf-8"},
                    CharsetCase{"<meta charset=\"gb2312\">", 14, "gb2312"},
                    CharsetCase{"<meta charset='big5'>", 14, "big5"},
                    CharsetCase{"<meta charset=gbk>", 14, "gbk"},
                    CharsetCase{"Content-Type: text/html; CHARSET=GB2312; x", 33, "GB2312"},
                    // An empty value does not count; the next declaration decides.
                    CharsetCase{"charset=\"\" then charset=gbk;", 24, "gbk"},
                    CharsetCase{"charset=", -1, "unchanged"},
                    CharsetCase{"no declaration", -1, "unchanged"}));

TEST(PageTitle, TriesTheThreeSpellingsInOrder)
{
    EXPECT_EQ(TitleFromPageText("<TITLE>upper</TITLE><title>lower</title>"), "lower");
    EXPECT_EQ(TitleFromPageText("<Title>mixed</Title><title>lower</title>"), "mixed");
    EXPECT_EQ(TitleFromPageText("<TITLE>upper</TITLE>"), "upper");
    EXPECT_EQ(TitleFromPageText("<title>\r\n  spaced out \t</title>"), "spaced out");
    EXPECT_EQ(TitleFromPageText("<title></title><TITLE>after an empty one</TITLE>"),
              "after an empty one");
    EXPECT_EQ(TitleFromPageText("<title lang=\"en\">attributes</title>"), "");
    EXPECT_EQ(TitleFromPageText("<title>   </title>"), "");
    EXPECT_EQ(TitleFromPageText("<title>never closed"), "");
    EXPECT_EQ(TitleFromPageText("<title>Tom &amp; Jerry &#8211; 1</title>"),
              "Tom & Jerry \u2013 1");
}

TEST(HtmlReferences, DecodeKnownReferencesOnly)
{
    EXPECT_EQ(DecodeHtmlReferences("A &amp; B &lt;C&gt; &quot;d&quot; &apos;e&apos;"),
              "A & B <C> \"d\" 'e'");
    EXPECT_EQ(DecodeHtmlReferences("&#20013;&#x6587;&#X41;"), "中文A");
    EXPECT_EQ(DecodeHtmlReferences("a&nbsp;b"), "a\xC2\xA0"
                                                "b");
    // Unknown, unterminated, control and out-of-range references stay as written.
    for (const char* kept :
         {"&copy;", "fish & chips", "&amp", "&#0;", "&#1;", "&#xD800;", "&#x110000;", "&#12345678;",
          "&#;", "&#x;", "&#12a;", "&verylongnamehere;"})
        EXPECT_EQ(DecodeHtmlReferences(kept), kept);
    EXPECT_EQ(DecodeHtmlReferences("&amp;amp;"), "&amp;"); // one pass only
}

TEST(PageText, PartCharsetComesBeforeThePagesOwn)
{
    // The archiver wrote the page as UTF-8 and said so; the page still names gb2312.
    const std::string archive =
        "Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: "
        "quoted-printable\r\n\r\n"
        "<meta charset=3D\"gb2312\"><title>=E4=B8=AD=E6=96=87</title>";
    EXPECT_EQ(TitleFromPageText(PageTextFromArchive(archive)), "中文");
}

TEST(PageText, PageCharsetDecidesWithoutAPartCharset)
{
    EXPECT_EQ(PageTextFromArchive("<meta charset=gb2312><b>\xD6\xD0\xCE\xC4</b>"),
              "<meta charset=gb2312><b>中文</b>");
    // Undeclared text that is not UTF-8 is read as GBK, the service's usual encoding.
    EXPECT_EQ(PageTextFromArchive("<b>\xD6\xD0\xCE\xC4</b>"), "<b>中文</b>");
    EXPECT_EQ(PageTextFromArchive("\xEF\xBB\xBF<b>\xE4\xB8\xAD</b>"), "<b>中</b>");
}

TEST(PageText, TextEndsAtTheFirstZeroByte)
{
    EXPECT_EQ(PageTextFromArchive(std::string("<title>a</title>\0<title>b", 26)),
              "<title>a</title>");
}

} // namespace
