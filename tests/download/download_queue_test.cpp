#include "acquire/download_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace
{
CClassifyHosts Hosts()
{
    return {"community.zelk.example", "develop.zelk.example", "search.zelk.example"};
}
} // namespace

TEST(DownloadQueue, ClassifiesWhenQueuedAndKeepsArrivalOrder)
{
    CDownloadQueue queue(Hosts());
    const std::pair<const char*, DownloadKind> table[] = {
        {"http://community.zelk.example/Expert/TopicView1.asp?id=4711", CommunityTopic},
        {"http://search.zelk.example/Expert/topic/4/4712.xml", CommunityTopic},
        {"http://develop.zelk.example/article/2006/123.shtm", DevelopArticle},
        {"http://develop.zelk.example/article/2006/01/125.shtm", OtherPage},
        {"http://elsewhere.example/page.html", OtherPage},
    };
    for (const auto& [address, kind] : table)
        ASSERT_TRUE(queue.QueueDownload(address));
    EXPECT_EQ(queue.WaitingCount(), std::size(table));
    for (const auto& [address, kind] : table)
    {
        auto request = queue.TakeNext(0ms, [] { return false; });
        ASSERT_NE(request, nullptr);
        EXPECT_EQ(request->address, address);
        EXPECT_EQ(request->kind, kind) << address;
    }
    EXPECT_EQ(queue.WaitingCount(), 0u);
    EXPECT_EQ(queue.TakeNext(0ms, [] { return false; }), nullptr);
}

TEST(DownloadQueue, EmptyAddressIsNotQueued)
{
    CDownloadQueue queue(Hosts());
    EXPECT_FALSE(queue.QueueDownload(""));
    EXPECT_EQ(queue.WaitingCount(), 0u);
}

TEST(DownloadQueue, ExitQuestionOnlyWhileRequestsWaitAndWithTheirNumber)
{
    CDownloadQueue queue(Hosts());
    int asked = 0;
    EXPECT_TRUE(queue.ConfirmExit([&](size_t) { return ++asked, false; }));
    EXPECT_EQ(asked, 0);
    queue.QueueDownload(OtherPage, "http://a.example/");
    queue.QueueDownload(OtherPage, "http://b.example/");
    size_t shown = 0;
    EXPECT_FALSE(queue.ConfirmExit([&](size_t n) { return shown = n, false; }));
    EXPECT_EQ(shown, 2u);
    EXPECT_EQ(queue.WaitingCount(), 2u) << "answering No keeps the requests";
    EXPECT_TRUE(queue.ConfirmExit([](size_t) { return true; }));
}

TEST(DownloadQueue, ExitQuestionHoldsTheLockSoAppendingWaits)
{
    CDownloadQueue queue(Hosts());
    queue.QueueDownload(OtherPage, "http://a.example/");
    std::atomic<bool> appended{false};
    std::thread other;
    queue.ConfirmExit(
        [&](size_t)
        {
            other = std::thread(
                [&]
                {
                    queue.QueueDownload(OtherPage, "http://b.example/");
                    appended = true;
                });
            std::this_thread::sleep_for(200ms);
            EXPECT_FALSE(appended.load()) << "the count changed while the question was shown";
            return false;
        });
    other.join();
    EXPECT_TRUE(appended.load());
    EXPECT_EQ(queue.WaitingCount(), 2u);
}

TEST(DownloadQueue, TakeNextWakesAtOnceForANewRequest)
{
    CDownloadQueue queue(Hosts());
    std::thread producer(
        [&]
        {
            std::this_thread::sleep_for(100ms);
            queue.QueueDownload(OtherPage, "http://a.example/");
        });
    auto start = std::chrono::steady_clock::now();
    auto request = queue.TakeNext(5000ms, [] { return false; });
    auto took = std::chrono::steady_clock::now() - start;
    producer.join();
    ASSERT_NE(request, nullptr);
    EXPECT_LT(took, 1000ms);
}

TEST(DownloadQueue, TakeNextGivesUpWhenStopped)
{
    CDownloadQueue queue(Hosts());
    std::atomic<bool> stop{false};
    std::thread stopper(
        [&]
        {
            std::this_thread::sleep_for(100ms);
            stop = true;
            queue.Wake();
        });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(queue.TakeNext(5000ms, [&] { return stop.load(); }), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
    stopper.join();
    queue.QueueDownload(OtherPage, "http://a.example/");
    EXPECT_EQ(queue.DropWaiting(), 1u);
    EXPECT_EQ(queue.WaitingCount(), 0u);
}
