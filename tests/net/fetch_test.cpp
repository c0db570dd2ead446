#include "platform/net/url_fetch.h"
#include "tests/support/sample_service_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

using Clock = std::chrono::steady_clock;

class FetchTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { service = new SampleServiceProcess(); }
    static void TearDownTestSuite()
    {
        delete service;
        service = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(service->Running()) << "sample service did not start"; }

    static FetchOptions Quick()
    {
        FetchOptions o;
        o.connectTimeoutMs = 2000;
        o.totalTimeoutMs = 5000;
        return o;
    }

    static SampleServiceProcess* service;
    ScratchDir dir;
};

SampleServiceProcess* FetchTest::service = nullptr;

TEST_F(FetchTest, DownloadsAPageByteForByte)
{
    std::string target = dir.File("page.html");
    std::string error;
    ASSERT_TRUE(
        DownloadUrlToFile(service->Url("/static/pages/gb2312.html"), target, Quick(), &error))
        << error;
    EXPECT_EQ(ReadFileBytes(target),
              ReadFileBytes(SampleServiceDir() + "/static/pages/gb2312.html"));
    EXPECT_EQ(dir.EntryCount(), 1u) << "temporary file left beside the download";
}

TEST_F(FetchTest, TopicXmlArrivesAsServed)
{
    FetchResult r = FetchUrl(service->Url("/Expert/topic/4/4711.xml"), Quick());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body.rfind("<?xml version=\"1.0\" encoding=\"gb2312\"?>", 0), 0u);
    EXPECT_NE(r.body.find("<TopicId>4711</TopicId>"), std::string::npos);
}

TEST_F(FetchTest, FailuresLeaveNoFileAndSayWhy)
{
    const std::pair<std::string, const char*> table[] = {
        {service->Url("/fail/404"), "404"},
        {service->Url("/fail/500"), "500"},
        {service->Url("/fail/close-early"), ""},
        {"http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/", ""},
        {"file:///etc/hostname", ""},
        {"not a url", ""},
    };
    for (const auto& [url, mention] : table)
    {
        std::string target = dir.File("out.xml");
        std::string error;
        EXPECT_FALSE(DownloadUrlToFile(url, target, Quick(), &error)) << url;
        EXPECT_FALSE(error.empty()) << url;
        EXPECT_NE(error.find(mention), std::string::npos) << error;
        EXPECT_EQ(dir.EntryCount(), 0u) << "something left behind by " << url;
    }
}

TEST_F(FetchTest, FailedDownloadKeepsTheEarlierFile)
{
    std::string target = dir.File("CommunityTemp.xml");
    std::ofstream(target) << "earlier";
    EXPECT_FALSE(DownloadUrlToFile(service->Url("/fail/404"), target, Quick()));
    EXPECT_EQ(ReadFileBytes(target), "earlier");
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST_F(FetchTest, StalledServersTimeOut)
{
    for (const char* path : {"/slow/stall?s=20", "/slow/no-answer?s=20"})
    {
        FetchOptions o = Quick();
        o.totalTimeoutMs = 1200;
        auto start = Clock::now();
        std::string target = dir.File("stalled.html");
        std::string error;
        EXPECT_FALSE(DownloadUrlToFile(service->Url(path), target, o, &error)) << path;
        auto took = Clock::now() - start;
        EXPECT_LT(took, std::chrono::seconds(4)) << path;
        EXPECT_GE(took, std::chrono::milliseconds(1000)) << path;
        EXPECT_EQ(dir.EntryCount(), 0u);
    }
}

TEST_F(FetchTest, StallTimeoutEndsATransferThatStopsDelivering)
{
    FetchOptions o = Quick();
    o.totalTimeoutMs = 40000;
    o.stallTimeoutMs = 1000;
    auto start = Clock::now();
    FetchResult r = FetchUrl(service->Url("/slow/stall?s=40"), o);
    EXPECT_FALSE(r.ok);
    // libcurl averages the speed over a few seconds, so a stall shows late.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(15));
}

TEST_F(FetchTest, OversizedPagesAreRefused)
{
    for (const char* path : {"/big/oversized?mb=3", "/big/oversized?mb=3&announce=0"})
    {
        FetchOptions o = Quick();
        o.maxBytes = 1 << 20;
        std::string error;
        EXPECT_FALSE(DownloadUrlToFile(service->Url(path), dir.File("big.html"), o, &error))
            << path;
        EXPECT_NE(error.find("larger than"), std::string::npos) << error;
        EXPECT_EQ(dir.EntryCount(), 0u);
    }
    // Just under the cap passes.
    FetchOptions o = Quick();
    o.maxBytes = 1 << 20;
    FetchResult r = FetchUrl(service->Url("/big/oversized?mb=0.5&announce=0"), o);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.body.size(), 512u * 1024u);
}

TEST_F(FetchTest, AbortStopsARunningTransferWithinASecond)
{
    std::atomic<bool> abort{false};
    FetchOptions o = Quick();
    o.totalTimeoutMs = 30000;
    o.stallTimeoutMs = 0;
    o.abort = &abort;
    Clock::time_point setAt;
    std::thread stopper(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            setAt = Clock::now();
            abort = true;
        });
    std::string error;
    bool ok = DownloadUrlToFile(service->Url("/slow/stall?s=20"), dir.File("x.html"), o, &error);
    auto ended = Clock::now();
    stopper.join();
    EXPECT_FALSE(ok);
    EXPECT_NE(error.find("aborted"), std::string::npos) << error;
    EXPECT_LT(ended - setAt, std::chrono::milliseconds(1000));
    EXPECT_EQ(dir.EntryCount(), 0u);
    // A flag already set stops before connecting.
    EXPECT_FALSE(FetchUrl(service->Url("/static/pages/gb2312.html"), o).ok);
}

TEST_F(FetchTest, RedirectsAreFollowed)
{
    FetchResult r = FetchUrl(service->Url("/redirect?to=/static/pages/upper-title.html"), Quick());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_NE(r.body.find("Upper Case Title"), std::string::npos);
    EXPECT_TRUE(r.effectiveUrl.ends_with("/static/pages/upper-title.html")) << r.effectiveUrl;
    FetchOptions none = Quick();
    none.maxRedirects = 0;
    FetchResult notFollowed =
        FetchUrl(service->Url("/redirect?to=/static/pages/upper-title.html"), none);
    EXPECT_EQ(notFollowed.status, 302);
}

TEST_F(FetchTest, CookieFileIsWrittenAndSentBack)
{
    FetchOptions o = Quick();
    o.cookieFile = dir.File("cookies.txt");
    ASSERT_TRUE(FetchUrl(service->Url("/cookie/set?ZelkUser=tester"), o).ok);
    EXPECT_NE(ReadFileBytes(o.cookieFile).find("ZelkUser\ttester"), std::string::npos);
    FetchResult echo = FetchUrl(service->Url("/cookie/echo"), o);
    ASSERT_TRUE(echo.ok) << echo.error;
    EXPECT_EQ(echo.body, "ZelkUser=tester");
    // Without the file nothing is remembered between calls.
    EXPECT_EQ(FetchUrl(service->Url("/cookie/echo"), Quick()).body, "");
}

TEST(AtomicWrite, ReplacesWholeOrNothing)
{
    ScratchDir dir;
    std::string path = dir.File("a.mht");
    ASSERT_TRUE(WriteFileAtomically(path, "one"));
    ASSERT_TRUE(WriteFileAtomically(path, "two"));
    EXPECT_EQ(ReadFileBytes(path), "two");
    EXPECT_EQ(dir.EntryCount(), 1u);
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(dir.File("missing/a.mht"), "x", &error));
    EXPECT_FALSE(error.empty());
}
