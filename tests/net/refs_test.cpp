#include "platform/net/content_type.h"
#include "platform/net/css_refs.h"
#include "platform/net/html_refs.h"
#include "platform/net/url_resolve.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using ::testing::ElementsAre;

TEST(ResolveUrl, RelativeFormsAgainstAPage)
{
    const std::string base = "http://h.example/a/b/page.html?x=1#top";
    const std::pair<const char*, const char*> table[] = {
        {"img.png", "http://h.example/a/b/img.png"},
        {"../css/s.css", "http://h.example/a/css/s.css"},
        {"/root.js", "http://h.example/root.js"},
        {"//other.example/p.gif", "http://other.example/p.gif"},
        {"https://s.example/x", "https://s.example/x"},
        {"pic.png#frag", "http://h.example/a/b/pic.png"},
        {"  spaced.png ", "http://h.example/a/b/spaced.png"},
        {"?q=2", "http://h.example/a/b/page.html?q=2"},
    };
    for (const auto& [ref, expected] : table)
        EXPECT_EQ(ResolveUrl(base, ref).value_or("(none)"), expected) << ref;
}

TEST(ResolveUrl, OnlyHttpResultsAreFetched)
{
    const std::string base = "http://h.example/p.html";
    for (const char* ref : {"file:///etc/passwd", "javascript:alert(1)",
                            "data:image/png;base64,AA==", "mailto:a@b.example", "ftp://h.example/x",
                            "", "#only-fragment"})
        EXPECT_FALSE(ResolveUrl(base, ref).has_value()) << ref;
}

TEST(CssReferences, ImportsUrlsAndWhatIsNotAReference)
{
    const char* css =
        "@import \"a.css\";\n@import url(b.css) screen;\n@IMPORT url( 'c.css' );\n"
        "/* url(commented.png) */\n"
        "p { background: url(one.png) } q { background:URL( \"two.png\" ) }\n"
        "s { content: \"url(in-string.png)\"; } t { src: url('three.woff') format('woff') }\n"
        "u { background: url(data:image/png;base64,AAAA) } v { mask: my-url(no.png) }\n";
    CssReferences refs = CollectCssReferences(css);
    EXPECT_THAT(refs.imports, ElementsAre("a.css", "b.css", "c.css"));
    EXPECT_THAT(refs.urls, ElementsAre("one.png", "two.png", "three.woff"));
}

TEST(CssReferences, UnterminatedInputDoesNotRunAway)
{
    EXPECT_TRUE(CollectCssReferences("p { background: url(").urls.empty());
    EXPECT_TRUE(CollectCssReferences("/* never closed url(x.png)").urls.empty());
    EXPECT_THAT(CollectCssReferences("a{b:url(\"x.png").urls, ElementsAre("x.png"));
}

TEST(HtmlReferences, EveryKindOnceInDocumentOrder)
{
    const char* html = R"HTML(<html><head>
<link rel="stylesheet" href="s.css"><link rel="shortcut icon" href="/fav.ico">
<link rel="alternate" href="feed.xml"><script src="app.js"></script><script>var inline=1;</script>
<style>body { background: url(bg.png) } @import "more.css";</style></head>
<body background="tile.gif"><img src="a.png"><img src="a.png#again"><img src="data:image/gif;base64,R0lG">
<input type="image" src="btn.png"><input type="text" src="no.png">
<div style="background-image:url('div.png')"></div>
<iframe src="frame.html"></iframe>
<a href="link.html">not a resource</a><img src="javascript:void(0)"></body></html>)HTML";
    auto refs = CollectHtmlReferences(html, "http://h.example/dir/page.html");
    std::vector<std::string> urls;
    for (const auto& r : refs)
        urls.push_back(r.url.substr(std::string("http://h.example").size()));
    EXPECT_THAT(urls, ElementsAre("/dir/s.css", "/fav.ico", "/dir/app.js", "/dir/more.css",
                                  "/dir/bg.png", "/dir/tile.gif", "/dir/a.png", "/dir/btn.png",
                                  "/dir/div.png", "/dir/frame.html"));
    auto kindOf = [&](const std::string& tail)
    {
        auto it = std::find_if(refs.begin(), refs.end(),
                               [&](const auto& r) { return r.url.ends_with(tail); });
        return it == refs.end() ? ResourceKind::Image : it->kind;
    };
    EXPECT_EQ(kindOf("/s.css"), ResourceKind::StyleSheet);
    EXPECT_EQ(kindOf("/more.css"), ResourceKind::StyleSheet);
    EXPECT_EQ(kindOf("/app.js"), ResourceKind::Script);
    EXPECT_EQ(kindOf("/frame.html"), ResourceKind::Frame);
}

TEST(HtmlReferences, FramesOfAFrameset)
{
    auto refs = CollectHtmlReferences(R"HTML(<html><frameset cols="50%,50%"><frame src="left.html">
<frame src="/right.html"></frameset></html>)HTML",
                                      "http://h.example/d/index.html");
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_EQ(refs[0].url, "http://h.example/d/left.html");
    EXPECT_EQ(refs[1].url, "http://h.example/right.html");
    EXPECT_EQ(refs[1].kind, ResourceKind::Frame);
}

TEST(HtmlReferences, BaseElementChangesResolution)
{
    auto refs = CollectHtmlReferences(
        R"HTML(<img src="early.png"><base href="http://cdn.example/x/"><img src="i.png">)HTML",
        "http://h.example/p.html");
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_EQ(refs[0].url, "http://cdn.example/x/early.png");
    EXPECT_EQ(refs[1].url, "http://cdn.example/x/i.png");
}

// A page of many unclosed tags is parsed within a modest memory budget (the
// parser's error records once grew with the square of the nesting depth).
TEST(HtmlReferences, DeeplyNestedUnclosedTagsStayWithinMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address space limits do not mix with the address sanitizer";
#else
    std::string html = "<html><body>";
    for (int i = 0; i < 20000; ++i)
        html += "<div>";
    html += "<img src=\"deep.png\">";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        const rlimit limit{768u << 20, 768u << 20};
        setrlimit(RLIMIT_AS, &limit);
        const auto refs = CollectHtmlReferences(html, "http://h.example/p.html");
        _exit(refs.size() == 1 && refs[0].url == "http://h.example/deep.png" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
#endif
}

TEST(DeclaredCharset, FromBomAndMetaForms)
{
    const std::pair<std::string, std::string> table[] = {
        {"\xEF\xBB\xBF<html><meta charset=gb2312>", "UTF-8"},
        {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=gb2312\">", "gb2312"},
        {"<meta charset=\"utf-8\">", "utf-8"},
        {"<meta charset='big5'/>", "big5"},
        {"<p>charset=koi8-r is not in a meta</p><meta name=x>", ""},
        {"<meta name=\"description\" content=\"x\"><meta http-equiv=content-type "
         "content=\"text/html;charset=GBK\">",
         "GBK"},
        {"", ""},
    };
    for (const auto& [page, expected] : table)
        EXPECT_EQ(DeclaredHtmlCharset(page), expected) << page;
}

TEST(ContentTypes, ParseGuessAndTextness)
{
    ContentType t = ParseContentType("Text/HTML; Charset=\"GB2312\"");
    EXPECT_EQ(t.mimeType, "text/html");
    EXPECT_EQ(t.charset, "GB2312");
    EXPECT_EQ(ParseContentType("image/png").charset, "");
    EXPECT_EQ(ParseContentType("text/css; foo=bar; charset=utf-8").charset, "utf-8");
    EXPECT_EQ(GuessMimeType("http://h/x/a.PNG?v=1"), "image/png");
    EXPECT_EQ(GuessMimeType("http://h/x.dir/noext"), "");
    EXPECT_TRUE(IsTextMimeType("text/css"));
    EXPECT_TRUE(IsTextMimeType("application/javascript"));
    EXPECT_FALSE(IsTextMimeType("image/png"));
    EXPECT_FALSE(IsTextMimeType("application/octet-stream"));
}
