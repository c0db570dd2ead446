#include "acquire/import_common.h"
#include "acquire/page_import.h"
#include "platform/net/html_refs.h"

#include <gtest/gtest.h>

#include <chrono>

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

TEST(PageTitle, IsTheOneABrowserShows)
{
    EXPECT_EQ(TitleFromPageText("<title data-rh=\"true\">News &amp; Views &#8212; Today</title>"),
              "News & Views \u2014 Today");
    EXPECT_EQ(TitleFromPageText("<TiTlE>\n  Mixed\n   Case\tTitle </TiTlE>"), "Mixed Case Title");
    EXPECT_EQ(TitleFromPageText("<title a='x>y'>quoted &eacute;&hellip;&#151;</title>"),
              "quoted \u00e9\u2026\u2014");
    // The first title element counts; look-alikes in comments, scripts and other tags do not.
    EXPECT_EQ(TitleFromPageText("<!-- <title>c</title> --><script>'<title>s</title>'</script>"
                                "<titles>t</titles><TITLE>upper</TITLE><title>lower</title>"),
              "upper");
    EXPECT_EQ(TitleFromPageText("<title>never closed"), "never closed");
    EXPECT_EQ(TitleFromPageText("<title> \r\n </title>"), "");
    EXPECT_EQ(TitleFromPageText("no title"), "");
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
         {"&nosuchname;", "fish & chips", "&amp", "&#0;", "&#1;", "&#x81;", "&#xD800;",
          "&#x110000;", "&#12345678;", "&#;", "&#x;", "&#12a;", "&verylongnamehere;"})
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

// 800 KB of nested elements: the page's references are still found, in
// seconds rather than the minutes a tree of that depth takes to build.
TEST(PageText, DeeplyNestedPageIsReadInSeconds)
{
    std::string page = "<html><head><title>deep</title><style>b{background:url(s.png)}</style>"
                       "</head><body>";
    const int depth = 70000;
    for (int i = 0; i < depth; ++i)
        page += "<div>";
    page += "<IMG alt='a>b' SRC=\"x.png?a=1&amp;b=2\"><script src=j.js></script>";
    for (int i = 0; i < depth; ++i)
        page += "</div>";
    const auto start = std::chrono::steady_clock::now();
    const std::vector<ResourceRef> refs = CollectHtmlReferences(page, "http://h/p/index.html");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(refs.size(), 3u);
    EXPECT_EQ(refs[0].url, "http://h/p/s.png");
    EXPECT_EQ(refs[1].url, "http://h/p/x.png?a=1&b=2");
    EXPECT_EQ(refs[2].url, "http://h/p/j.js");
    EXPECT_LT(elapsed, std::chrono::seconds(5));
}

} // namespace
