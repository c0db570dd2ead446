#include "acquire/download_worker.h"
#include "acquire/url_classify.h"

#include <gtest/gtest.h>

namespace
{

const CClassifyHosts kHosts{"community.zelk.example", "develop.zelk.example",
                            "search.zelk.example"};

struct IdCase
{
    const char* address;
    int expected;
};

class TopicIdTest : public testing::TestWithParam<IdCase>
{
};

TEST_P(TopicIdTest, ParsesTheCommunityHost)
{
    EXPECT_EQ(ParseTopicId(GetParam().address, kHosts.community), GetParam().expected)
        << GetParam().address;
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, TopicIdTest,
    testing::Values(
        IdCase{"http://community.zelk.example/Expert/TopicView1.asp?id=4711", 4711},
        IdCase{"http://community.zelk.example/Expert/TopicView.asp?id=4711", 4711},
        IdCase{"http://community.zelk.example/Expert/topicview.asp?id=4711", 4711},
        IdCase{"http://community.zelk.example/x/y/Expert/TOPICVIEW1.ASP?id=9", 9},
        // "Expert/" itself is case-sensitive.
        IdCase{"http://community.zelk.example/expert/TopicView.asp?id=4711", -2},
        // Everything after "=" must be digits, and the .xml form is not tried then.
        IdCase{"http://community.zelk.example/Expert/TopicView.asp?id=4711&page=2", -2},
        IdCase{"http://community.zelk.example/Expert/TopicView.asp?id=4711&x=Expert/topic/4/1.xml",
               -2},
        IdCase{"http://community.zelk.example/Expert/TopicView.asp?id=", -2},
        IdCase{"http://community.zelk.example/Expert/Other.asp?id=4711", -2},
        IdCase{"http://community.zelk.example/Expert/topic/4/4711.xml", 4711},
        IdCase{"http://community.zelk.example/Expert/topic/4711.xml", 4711},
        IdCase{"http://community.zelk.example/Expert/topic/2006/04/4711.xml", -2},
        IdCase{"http://community.zelk.example/Expert/topic/4/.xml", -2},
        IdCase{"http://community.zelk.example/", -2},
        // An id of 0 is "not recognised" for every caller.
        IdCase{"http://community.zelk.example/Expert/TopicView.asp?id=0", 0},
        IdCase{"https://community.zelk.example/Expert/TopicView.asp?id=4711", -1},
        IdCase{"http://other.example/Expert/TopicView.asp?id=4711", -1},
        IdCase{"http://community.zelk.exampl", -1}, IdCase{"", -1}));

class ArticleIdTest : public testing::TestWithParam<IdCase>
{
};

TEST_P(ArticleIdTest, ParsesTheDevelopHost)
{
    EXPECT_EQ(ParseArticleId(GetParam().address, kHosts.develop), GetParam().expected)
        << GetParam().address;
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ArticleIdTest,
    testing::Values(IdCase{"http://develop.zelk.example/article/2006/123.shtm", 123},
                    IdCase{"http://develop.zelk.example/article/123.shtm", 123},
                    IdCase{"http://develop.zelk.example/a/article/2006/77.shtm", 77},
                    IdCase{"http://develop.zelk.example/article/2006/01/123.shtm", -2},
                    IdCase{"http://develop.zelk.example/article/2006/12a.shtm", -2},
                    IdCase{"http://develop.zelk.example/articlelist.aspx?c=23", -2},
                    IdCase{"http://community.zelk.example/article/2006/123.shtm", -1},
                    IdCase{"https://develop.zelk.example/article/2006/123.shtm", -1}));

struct KindCase
{
    const char* address;
    DownloadKind expected;
};

class ClassifyTest : public testing::TestWithParam<KindCase>
{
};

TEST_P(ClassifyTest, ChoosesTheDownloadKind)
{
    EXPECT_EQ(ClassifyDownload(GetParam().address, kHosts), GetParam().expected)
        << GetParam().address;
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ClassifyTest,
    testing::Values(
        KindCase{"http://community.zelk.example/Expert/TopicView1.asp?id=4711", CommunityTopic},
        // Topics found through the search host are downloaded as topics too.
        KindCase{"http://search.zelk.example/Expert/topic/4/4711.xml", CommunityTopic},
        KindCase{"http://develop.zelk.example/article/2006/123.shtm", DevelopArticle},
        KindCase{"http://develop.zelk.example/article/2006/01/123.shtm", OtherPage},
        KindCase{"http://community.zelk.example/Expert/TopicView.asp?id=0", OtherPage},
        KindCase{"http://elsewhere.example/index.html", OtherPage},
        // A host that only begins with a configured one is another host.
        KindCase{"http://community.zelk.example.other.example/Expert/"
                 "TopicView1.asp?id=4711",
                 OtherPage},
        KindCase{"http://search.zelk.example.other.example/Expert/topic/4/4711.xml", OtherPage},
        KindCase{"http://develop.zelk.example.other.example/article/2006/123.shtm", OtherPage}));

TEST(AddressForFetch, EncodesWhatABrowserWould)
{
    EXPECT_EQ(AddressForFetch(" http://127.0.0.1:8080/a b.html\n"),
              "http://127.0.0.1:8080/a%20b.html");
    EXPECT_EQ(AddressForFetch("http://h/\xE4\xB8\xAD \"{x}\"?q=a b<c>&d=`{}`#top part"),
              "http://h/%E4%B8%AD%20%22%7Bx%7D%22?q=a%20b%3Cc%3E&d=`{}`");
    EXPECT_EQ(AddressForFetch("http://h/already%20encoded?x=%41"),
              "http://h/already%20encoded?x=%41");
}

TEST(ClassifyHosts, HostWithPortIsPartOfThePrefix)
{
    const std::string host = "127.0.0.1:8080";
    EXPECT_EQ(ParseTopicId("http://127.0.0.1:8080/Expert/TopicView.asp?id=5", host), 5);
    EXPECT_EQ(ParseTopicId("http://127.0.0.1:8081/Expert/TopicView.asp?id=5", host), -1);
}

TEST(ClassifyHosts, ReplyRuleDoesNotKnowTheSearchHost)
{
    EXPECT_EQ(ParseTopicId("http://search.zelk.example/Expert/topic/4/4711.xml", kHosts.community),
              -1);
}

} // namespace
