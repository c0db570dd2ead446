#include "acquire/download_worker.h"
#include "tests/support/sample_service_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace
{
struct ImportCall
{
    std::string which; // topic, article, page
    std::string address;
    std::string path;
    std::string content; // the file as the importer saw it
};

class RecordingImporter : public IDownloadImporter
{
public:
    void ImportTopic(const std::string& path) override { Record("topic", "", path); }
    void ImportArticle(const std::string& address, const std::string& path) override
    {
        Record("article", address, path);
    }
    void ImportOtherPage(const std::string& address, const std::string& path) override
    {
        Record("page", address, path);
    }

    bool WaitFor(size_t count, std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_calls.size() >= count; });
    }
    std::vector<ImportCall> Calls()
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

    int throwOnCall = -1;

private:
    void Record(const char* which, const std::string& address, const std::string& path)
    {
        ImportCall call{which, address, path, ReadFileBytes(path)};
        int index;
        {
            std::lock_guard lock(m_mutex);
            m_calls.push_back(call);
            index = static_cast<int>(m_calls.size()) - 1;
        }
        m_changed.notify_all();
        if (index == throwOnCall)
            throw std::runtime_error("importer failed on purpose");
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<ImportCall> m_calls;
};

class RecordingUi : public IDownloadUi
{
public:
    void ShowNotice(const std::string& text) override
    {
        std::lock_guard lock(m_mutex);
        notices.push_back(text);
    }
    void ShowErrorBox(const std::string& text) override
    {
        std::lock_guard lock(m_mutex);
        errors.push_back(text);
    }
    std::vector<std::string> Notices()
    {
        std::lock_guard lock(m_mutex);
        return notices;
    }
    std::vector<std::string> Errors()
    {
        std::lock_guard lock(m_mutex);
        return errors;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> notices;
    std::vector<std::string> errors;
};

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    auto end = Clock::now() + timeout;
    while (Clock::now() < end)
    {
        if (condition())
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}
} // namespace

class DownloadWorkerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { service = new SampleServiceProcess(); }
    static void TearDownTestSuite()
    {
        delete service;
        service = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(service->Running()) << "sample service did not start";
        std::string host = "127.0.0.1:" + std::to_string(service->Port());
        queue = std::make_unique<CDownloadQueue>(CClassifyHosts{host, host, host});
        options.fetch.connectTimeoutMs = 2000;
        options.fetch.totalTimeoutMs = 10000;
    }

    void StartWorker()
    {
        worker = std::make_unique<CDownloadWorker>(*queue, importer, ui, temp.Path(), options);
        ASSERT_TRUE(worker->Start());
    }

    void TearDown() override
    {
        if (worker)
            worker->Stop();
    }

    static SampleServiceProcess* service;
    ScratchDir temp;
    ArchiveOptions options;
    RecordingImporter importer;
    RecordingUi ui;
    std::unique_ptr<CDownloadQueue> queue;
    std::unique_ptr<CDownloadWorker> worker;
};

SampleServiceProcess* DownloadWorkerTest::service = nullptr;

TEST_F(DownloadWorkerTest, ArrivalOrderWhileASlowDownloadRuns)
{
    StartWorker();
    const std::string slow = service->Url("/slow/delay?ms=1500&id=5001");
    const std::string topic = service->Url("/Expert/TopicView1.asp?id=4711");
    const std::string article = service->Url("/article/2006/123.shtm");
    ASSERT_TRUE(queue->QueueDownload(CommunityTopic, slow));
    ASSERT_TRUE(WaitUntil([&] { return queue->WaitingCount() == 0; }, 2000ms))
        << "worker did not take the request";
    queue->QueueDownload(topic);
    queue->QueueDownload(article);
    EXPECT_EQ(queue->WaitingCount(), 2u) << "the request being fetched is not waiting";
    size_t asked = 0;
    EXPECT_FALSE(queue->ConfirmExit([&](size_t n) { return asked = n, false; }));
    EXPECT_EQ(asked, 2u);

    ASSERT_TRUE(importer.WaitFor(3, 15000ms));
    auto calls = importer.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].which, "topic");
    EXPECT_EQ(calls[0].path, temp.File("CommunityTemp.xml"));
    EXPECT_NE(calls[0].content.find("<TopicId>5001</TopicId>"), std::string::npos);
    EXPECT_EQ(calls[1].which, "topic");
    EXPECT_NE(calls[1].content.find("<TopicId>4711</TopicId>"), std::string::npos);
    EXPECT_EQ(calls[2].which, "article");
    EXPECT_EQ(calls[2].address, article);
    EXPECT_EQ(calls[2].path, temp.File("DevelopTemp.shtm"));
    EXPECT_NE(calls[2].content.find("Content-Type: multipart/related;"), std::string::npos);
    EXPECT_TRUE(ui.Notices().empty());
}

TEST_F(DownloadWorkerTest, FailedFetchesGiveTheNoticeAndImportNothing)
{
    // Files from earlier downloads must not be imported again.
    std::ofstream(temp.File("CommunityTemp.xml")) << "stale topic";
    std::ofstream(temp.File("TopicTemp.mht")) << "stale page";
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/Expert/topic/4/1.xml";
    const std::vector<std::pair<DownloadKind, std::string>> failing = {
        {CommunityTopic, service->Url("/fail/404")}, {CommunityTopic, refused},
        {OtherPage, service->Url("/fail/404")},      {OtherPage, refused},
        {OtherPage, service->Url("/fail/500")},
    };
    for (const auto& [kind, address] : failing)
        queue->QueueDownload(kind, address);
    const std::string sentinel = service->Url("/article/2006/124.shtm");
    queue->QueueDownload(sentinel);
    StartWorker();

    ASSERT_TRUE(importer.WaitFor(1, 15000ms));
    auto calls = importer.Calls();
    ASSERT_EQ(calls.size(), 1u) << "a failed fetch ran an importer";
    EXPECT_EQ(calls[0].address, sentinel);

    std::vector<std::string> expected;
    for (const auto& [kind, address] : failing)
        expected.push_back("无法下载" + address);
    EXPECT_EQ(ui.Notices(), expected);
    EXPECT_EQ(ui.Errors().size(), 3u) << "each page that could not be archived explains why";
    EXPECT_EQ(ReadFileBytes(temp.File("CommunityTemp.xml")), "stale topic");
    EXPECT_EQ(ReadFileBytes(temp.File("TopicTemp.mht")), "stale page");
    EXPECT_EQ(temp.EntryCount(), 3u) << "a partial download was left in the temporary folder";
}

TEST_F(DownloadWorkerTest, StalledServerDoesNotBlockTheQueue)
{
    options.fetch.totalTimeoutMs = 1500;
    StartWorker();
    const std::string stalled = service->Url("/slow/stall?s=30");
    queue->QueueDownload(CommunityTopic, stalled);
    queue->QueueDownload(service->Url("/Expert/topic/5/5002.xml"));
    ASSERT_TRUE(importer.WaitFor(1, 8000ms));
    EXPECT_NE(importer.Calls()[0].content.find("<TopicId>5002</TopicId>"), std::string::npos);
    EXPECT_EQ(ui.Notices(), std::vector<std::string>{"无法下载" + stalled});
}

TEST_F(DownloadWorkerTest, StopsWithinTwoSecondsDuringAStalledTransfer)
{
    options.fetch.totalTimeoutMs = 60000;
    options.fetch.stallTimeoutMs = 0;
    StartWorker();
    queue->QueueDownload(OtherPage, service->Url("/slow/stall?s=30"));
    ASSERT_TRUE(WaitUntil([&] { return queue->WaitingCount() == 0; }, 2000ms));
    queue->QueueDownload(service->Url("/Expert/topic/4/4711.xml"));
    queue->QueueDownload(service->Url("/static/pages/gb2312.html"));
    std::this_thread::sleep_for(300ms);
    auto start = Clock::now();
    worker->Stop();
    EXPECT_LT(Clock::now() - start, 1000ms);
    EXPECT_FALSE(worker->Running());
    EXPECT_EQ(queue->WaitingCount(), 0u) << "waiting requests are dropped";
    EXPECT_TRUE(importer.Calls().empty());
    EXPECT_TRUE(ui.Notices().empty()) << "a stop is not a failed download";
    EXPECT_EQ(temp.EntryCount(), 0u);
}

TEST_F(DownloadWorkerTest, IdleWorkerStartsANewRequestAtOnce)
{
    StartWorker();
    std::this_thread::sleep_for(300ms); // idle, waiting for work
    auto queued = Clock::now();
    queue->QueueDownload(service->Url("/Expert/TopicView.asp?id=4712"));
    ASSERT_TRUE(importer.WaitFor(1, 5000ms));
    EXPECT_LT(Clock::now() - queued, 600ms) << "the worker slept through a new request";
    EXPECT_EQ(importer.Calls()[0].which, "topic");
}

TEST_F(DownloadWorkerTest, ImporterThatThrowsDoesNotEndTheWorker)
{
    importer.throwOnCall = 0;
    StartWorker();
    queue->QueueDownload(service->Url("/Expert/TopicView.asp?id=4711"));
    queue->QueueDownload(service->Url("/static/pages/no-title.html"));
    ASSERT_TRUE(importer.WaitFor(2, 10000ms));
    EXPECT_EQ(importer.Calls()[1].which, "page");
    EXPECT_EQ(importer.Calls()[1].path, temp.File("TopicTemp.mht"));
    ASSERT_TRUE(WaitUntil([&] { return !ui.Errors().empty(); }, 1000ms));
    EXPECT_EQ(ui.Errors()[0], "importer failed on purpose");
}

TEST_F(DownloadWorkerTest, StopAndStartAgain)
{
    StartWorker();
    worker->Stop();
    queue->QueueDownload(service->Url("/Expert/TopicView.asp?id=4711"));
    ASSERT_TRUE(worker->Start());
    ASSERT_TRUE(importer.WaitFor(1, 5000ms));
}
