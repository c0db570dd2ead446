#include "platform/net/mhtml_reader.h"
#include "platform/net/page_archiver.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sample_service_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

class ArchiverTest : public ::testing::Test
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
        options.fetch.connectTimeoutMs = 2000;
        options.fetch.totalTimeoutMs = 5000;
    }

    MhtmlArchive SaveAndRead(const std::string& path, const ArchiveOptions& o,
                             ArchiveResult* out = nullptr)
    {
        std::string file = dir.File("TopicTemp.mht");
        ArchiveResult r = SavePageAsMhtml(service->Url(path), file, o);
        EXPECT_TRUE(r.ok) << r.error;
        if (out)
            *out = r;
        auto parsed = ParseMhtml(ReadFileBytes(file));
        EXPECT_TRUE(parsed.has_value());
        return parsed.value_or(MhtmlArchive{});
    }

    static std::set<std::string> Locations(const MhtmlArchive& a)
    {
        std::set<std::string> s;
        for (const auto& p : a.parts)
            s.insert(p.location);
        return s;
    }

    static SampleServiceProcess* service;
    ArchiveOptions options;
    ScratchDir dir;
};

SampleServiceProcess* ArchiverTest::service = nullptr;

TEST_F(ArchiverTest, StyledPageHoldsEveryResourceOnceAndSkipsTheMissingOne)
{
    ArchiveResult result;
    MhtmlArchive a = SaveAndRead("/static/pages/styled.html", options, &result);
    std::set<std::string> expected;
    for (const char* p :
         {"/static/pages/styled.html", "/static/css/site.css", "/static/css/theme.css",
          "/static/img/banner.png", "/static/img/box-green.png", "/static/img/icon.png",
          "/static/img/box-red.png", "/static/js/site.js", "/static/img/photo-blue.png",
          "/static/img/photo-orange.png?v=2", "/static/img/box-purple.png",
          "/static/pages/frame.html", "/static/img/frame-cyan.png"})
        expected.insert(service->Url(p));
    EXPECT_EQ(Locations(a), expected);
    EXPECT_EQ(a.parts.size(), expected.size()) << "a resource was stored twice";
    EXPECT_EQ(result.partCount, expected.size());
    ASSERT_EQ(result.missing.size(), 1u);
    EXPECT_EQ(result.missing[0], service->Url("/static/img/missing.png"));
    EXPECT_EQ(a.snapshotLocation, service->Url("/static/pages/styled.html"));
    ASSERT_FALSE(a.parts.empty());
    EXPECT_EQ(a.parts[0].location, a.snapshotLocation) << "the page must be the first part";
}

TEST_F(ArchiverTest, PartsDecodeToTheServedBytesWithTheRightEncoding)
{
    MhtmlArchive a = SaveAndRead("/static/pages/styled.html", options);
    ASSERT_GT(a.parts.size(), 5u);
    for (const auto& part : a.parts)
    {
        FetchResult direct = FetchUrl(part.location, options.fetch);
        ASSERT_TRUE(direct.ok) << part.location;
        EXPECT_EQ(part.bytes, direct.body) << part.location;
        bool image = part.contentType.rfind("image/", 0) == 0;
        EXPECT_EQ(part.transferEncoding, image ? "base64" : "quoted-printable") << part.location;
    }
}

TEST_F(ArchiverTest, PageKeepsItsOwnBytesAndCharset)
{
    const std::pair<const char*, const char*> table[] = {
        {"/article/2006/123.shtm", "text/html; charset=gb2312"}, // declared in the page
        {"/static/pages/server-charset.html",
         "text/html; charset=gb2312"},                               // sent by the server only
        {"/static/pages/utf8-bom.html", "text/html; charset=UTF-8"}, // byte-order mark
        {"/static/pages/no-title.html", "text/html; charset=utf-8"},
        {"/static/pages/upper-title.html", "text/html"}, // declares nothing
    };
    for (const auto& [path, type] : table)
    {
        MhtmlArchive a = SaveAndRead(path, options);
        const MhtmlPart* main = a.MainPart();
        ASSERT_NE(main, nullptr) << path;
        EXPECT_EQ(main->contentType, type) << path;
        EXPECT_EQ(main->bytes, FetchUrl(service->Url(path), options.fetch).body) << path;
    }
}

TEST_F(ArchiverTest, SequentialAndParallelFetchingAgree)
{
    ArchiveOptions sequential = options;
    sequential.maxParallel = 1;
    ArchiveOptions parallel = options;
    parallel.maxParallel = 8;
    MhtmlArchive a = SaveAndRead("/bench/page.html?n=40", sequential);
    MhtmlArchive b = SaveAndRead("/bench/page.html?n=40", parallel);
    EXPECT_EQ(a.parts.size(), 41u);
    EXPECT_EQ(Locations(a), Locations(b));
}

TEST_F(ArchiverTest, AFailedPageWritesNothingAndKeepsTheEarlierArchive)
{
    std::string file = dir.File("TopicTemp.mht");
    std::ofstream(file) << "earlier archive";
    for (const char* path : {"/fail/404", "/fail/close-early"})
    {
        ArchiveResult r = SavePageAsMhtml(service->Url(path), file, options);
        EXPECT_FALSE(r.ok) << path;
        EXPECT_FALSE(r.error.empty());
    }
    EXPECT_EQ(ReadFileBytes(file), "earlier archive");
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST_F(ArchiverTest, LimitOnResourcesIsHonoured)
{
    ArchiveOptions few = options;
    few.maxResources = 5;
    ArchiveResult r;
    MhtmlArchive a = SaveAndRead("/bench/page.html?n=40", few, &r);
    EXPECT_EQ(a.parts.size(), 6u);
}

namespace
{
// Runs a program with a time limit and returns what it wrote on stdout.
std::string RunCapture(std::vector<std::string> args, int timeoutSeconds)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    pid_t pid = fork();
    if (pid == 0)
    {
        dup2(fds[1], STDOUT_FILENO);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    time_t deadline = time(nullptr) + timeoutSeconds;
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    for (;;)
    {
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n > 0)
            out.append(buf, n);
        else if (n == 0)
            break;
        else if (time(nullptr) > deadline)
        {
            kill(pid, SIGKILL);
            break;
        }
        else
            usleep(20000);
    }
    close(fds[0]);
    int status;
    waitpid(pid, &status, 0);
    return out;
}
} // namespace

TEST_F(ArchiverTest, ChromiumOpensTheArchiveAsAWebPage)
{
    const std::string chromium = "/usr/bin/chromium";
    if (access(chromium.c_str(), X_OK) != 0)
        GTEST_SKIP() << "chromium is not installed";
    // Chromium looks up outside hosts at start whatever its flags say; it
    // runs where no network exists at all (the archive is a local file).
    if (RunCapture({"/usr/bin/unshare", "--net", "--", "/bin/echo", "isolated"}, 10)
            .find("isolated") == std::string::npos)
        GTEST_SKIP() << "no private network namespace for chromium (needs root)";
    MhtmlArchive a = SaveAndRead("/article/2006/123.shtm", options);
    ScratchDir profile;
    std::string dom = RunCapture(
        {"/usr/bin/unshare", "--net", "--", chromium, "--headless", "--no-sandbox", "--disable-gpu",
         "--disable-quic", "--no-first-run", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile.Path(),
         "--dump-dom", "file://" + dir.File("TopicTemp.mht")},
        60);
    // Shown as a page (not as raw text) and decoded from GB2312: the title
    // text appears in UTF-8 and the encoded form does not.
    EXPECT_NE(dom.find("ArticleTitle1_ArticleTitle1_lblTitle"), std::string::npos)
        << dom.substr(0, 400);
    EXPECT_NE(dom.find("用 SQLite 替代 Access 数据库"), std::string::npos) << dom.substr(0, 400);
    EXPECT_EQ(dom.find("=3D"), std::string::npos);
}

TEST_F(ArchiverTest, ANonHtmlAddressIsArchivedAsItsOnlyPart)
{
    MhtmlArchive a = SaveAndRead("/static/img/box-red.png", options);
    ASSERT_EQ(a.parts.size(), 1u);
    EXPECT_EQ(a.parts[0].contentType, "image/png");
    EXPECT_EQ(a.parts[0].transferEncoding, "base64");
    EXPECT_EQ(a.parts[0].bytes.substr(1, 3), "PNG");
}

TEST_F(ArchiverTest, TotalSizeLimitLeavesOutWhatDoesNotFit)
{
    ArchiveOptions small = options;
    small.maxParallel = 1;
    size_t page = FetchUrl(service->Url("/static/pages/styled.html"), options.fetch).body.size();
    small.maxTotalBytes = page + 600; // room for a style sheet or two, not for every image
    ArchiveResult r;
    MhtmlArchive a = SaveAndRead("/static/pages/styled.html", small, &r);
    size_t total = 0;
    for (const auto& p : a.parts)
        total += p.bytes.size();
    EXPECT_LE(total, small.maxTotalBytes);
    EXPECT_GT(r.missing.size(), 3u);
    EXPECT_GE(a.parts.size(), 2u);
}

TEST_F(ArchiverTest, AbortEndsTheArchiveWithoutWritingIt)
{
    std::atomic<bool> abort{false};
    ArchiveOptions slow = options;
    slow.maxParallel = 1;
    slow.fetch.abort = &abort;
    std::thread stopper(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            abort = true;
        });
    auto start = std::chrono::steady_clock::now();
    std::string file = dir.File("TopicTemp.mht");
    ArchiveResult r = SavePageAsMhtml(service->Url("/bench/page.html?n=40&delay=300"), file, slow);
    auto took = std::chrono::steady_clock::now() - start;
    stopper.join();
    EXPECT_FALSE(r.ok);
    EXPECT_LT(took, std::chrono::milliseconds(2500)) << "40 resources at 300 ms would take 12 s";
    EXPECT_FALSE(FileExists(file));
}

namespace
{
// A loopback HTTP server (keep-alive) for one page: /page.html names
// /stall.png, /late.png and then ten images. /stall.png reads the request
// and never answers; /late.png answers once every image has been answered;
// the others answer at once. It notes, in order, each answer and how the
// stalled request ended: the client hung up, or the server gave up waiting
// after 20 s.
class StallingServer
{
public:
    static constexpr int kImages = 10;

    std::string Url(const std::string& path) const { return m_server.Url(path); }

    // The events once the stalled request has ended (empty after 30 s).
    std::vector<std::string> EventsAfterTheStall()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_stallEnded; });
        return m_stallEnded ? m_events : std::vector<std::string>{};
    }

private:
    void Note(const std::string& event, bool stallEnded = false, bool image = false)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_events.push_back(event);
        m_stallEnded = m_stallEnded || stallEnded;
        m_imagesServed += image ? 1 : 0;
        m_changed.notify_all();
    }

    bool Answer(int fd, const std::string& path)
    {
        if (path == "/stall.png")
        {
            char byte;
            pollfd p{fd, POLLIN, 0};
            const bool hungUp = poll(&p, 1, 20000) == 1 && recv(fd, &byte, 1, 0) <= 0;
            Note(hungUp ? "the client hung up on the stall" : "the server gave up the stall", true);
            shutdown(fd, SHUT_RDWR);
            return false;
        }
        if (path == "/late.png")
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_changed.wait_for(lock, std::chrono::seconds(20),
                               [this] { return m_imagesServed == kImages; });
        }
        std::string body;
        if (path == "/page.html")
        {
            body = "<html><body><img src=\"/stall.png\"><img src=\"/late.png\">";
            for (int i = 0; i < kImages; ++i)
                body += "<img src=\"/img" + std::to_string(i) + ".png\">";
            body += "</body></html>";
        }
        else
            body = "\x89PNG image " + path;
        Note("served " + path, false, path.rfind("/img", 0) == 0);
        return LoopbackHttpServer::SendAnswer(
            fd, 200, path == "/page.html" ? "text/html" : "image/png", body);
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_events;
    bool m_stallEnded = false;
    int m_imagesServed = 0;
    // Last: its connections end before the state they use.
    LoopbackHttpServer m_server{[this](int fd, const std::string& path)
                                { return Answer(fd, path); }};
};
} // namespace

// The stalled image takes one connection until its time-out; the rest are
// fetched meanwhile on others, and the archive is made without it. Parts
// keep the page's order, though the one named first of them came last.
TEST(ArchiverStallTest, AStalledResourceIsCutAtItsTimeOutWhileTheOthersFinish)
{
    StallingServer server;
    ArchiveOptions options;
    options.fetch.connectTimeoutMs = 2000;
    options.fetch.totalTimeoutMs = 1500;
    ArchiveResult r = BuildPageArchive(server.Url("/page.html"), options);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.missing, std::vector<std::string>{server.Url("/stall.png")});
    EXPECT_EQ(r.savedCount, static_cast<size_t>(StallingServer::kImages + 1));
    std::vector<std::string> order{server.Url("/page.html"), server.Url("/late.png")};
    for (int i = 0; i < StallingServer::kImages; ++i)
        order.push_back(server.Url("/img" + std::to_string(i) + ".png"));
    std::vector<std::string> locations;
    for (const auto& part : ParseMhtml(r.archive).value_or(MhtmlArchive{}).parts)
        locations.push_back(part.location);
    EXPECT_EQ(locations, order);

    const std::vector<std::string> events = server.EventsAfterTheStall();
    ASSERT_FALSE(events.empty()) << "the stalled request never ended";
    auto stallEnd = std::find_if(events.begin(), events.end(),
                                 [](const std::string& e) { return e.find("stall") != e.npos; });
    ASSERT_NE(stallEnd, events.end());
    EXPECT_EQ(*stallEnd, "the client hung up on the stall");
    EXPECT_EQ(std::count_if(events.begin(), stallEnd,
                            [](const std::string& e) { return e.rfind("served /img", 0) == 0; }),
              StallingServer::kImages)
        << "images waited for the stalled one";
}

namespace
{
// A loopback HTTP/1.1 server (keep-alive) answering from a table of paths,
// each answer after its own delay, noting the paths asked for.
class ScriptedServer
{
public:
    struct Answer
    {
        std::string body;
        std::string type = "image/png";
        int delayMs = 0;
        int status = 200;
    };

    ~ScriptedServer()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopping = true;
        m_changed.notify_all();
    }

    // Before the first request.
    void Set(const std::string& path, std::string body, std::string type = "image/png",
             int delayMs = 0)
    {
        m_answers[path] = {std::move(body), std::move(type), delayMs, 200};
    }
    std::string Url(const std::string& path) const { return m_server.Url(path); }
    std::vector<std::string> Requests()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_requests;
    }

private:
    bool Serve(int fd, const std::string& path)
    {
        auto it = m_answers.find(path);
        const Answer answer = it != m_answers.end() ? it->second : Answer{"", "text/plain", 0, 404};
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_requests.push_back(path);
            if (answer.delayMs > 0)
                m_changed.wait_for(lock, std::chrono::milliseconds(answer.delayMs),
                                   [this] { return m_stopping; });
        }
        return LoopbackHttpServer::SendAnswer(fd, answer.status, answer.type, answer.body);
    }

    std::map<std::string, Answer> m_answers; // set before the first request
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_stopping = false;
    std::vector<std::string> m_requests;
    // Last: its connections end before the state they use.
    LoopbackHttpServer m_server{[this](int fd, const std::string& path)
                                { return Serve(fd, path); }};
};

std::vector<std::string> PartLocations(const ArchiveResult& r)
{
    std::vector<std::string> locations;
    for (const auto& part : ParseMhtml(r.archive).value_or(MhtmlArchive{}).parts)
        locations.push_back(part.location);
    return locations;
}
} // namespace

// Bytes of a resource the archive turned away (it came in over the total)
// must not be counted against what is left: a later small resource that
// fits is kept.
TEST(ArchiverLimitsTest, ARefusedResourceLeavesItsShareOfTheTotalToOthers)
{
    ScriptedServer server;
    const std::string page = "<html><head><link rel=\"stylesheet\" href=\"/a.css\"></head><body>"
                             "<img src=\"/big1.png\"><img src=\"/big2.png\"></body></html>";
    server.Set("/page.html", page, "text/html");
    // Both images are in flight together (the second ends last); the sheet
    // comes after them and only then names its own image.
    server.Set("/a.css", "body{background:url(small.png)}", "text/css", 300);
    server.Set("/big1.png", std::string(500, 'x'), "image/png", 100);
    server.Set("/big2.png", std::string(500, 'y'), "image/png", 150);
    server.Set("/small.png", std::string(50, 's'));
    ArchiveOptions options;
    options.fetch.connectTimeoutMs = 2000;
    options.fetch.totalTimeoutMs = 5000;
    // Room for the page, the sheet, one big image and the small one.
    options.maxTotalBytes = page.size() + 31 + 500 + 100;
    ArchiveResult r = BuildPageArchive(server.Url("/page.html"), options);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.missing, std::vector<std::string>{server.Url("/big2.png")});
    EXPECT_EQ(PartLocations(r),
              (std::vector<std::string>{server.Url("/page.html"), server.Url("/a.css"),
                                        server.Url("/big1.png"), server.Url("/small.png")}));
}

// What is fetched stays within the resource limit: a sheet that arrives
// early does not get its images fetched when the archive, in its own order,
// gives the last places to another sheet's.
TEST(ArchiverLimitsTest, NothingIsFetchedPastTheResourceLimit)
{
    ScriptedServer server;
    server.Set("/page.html",
               "<html><head><link rel=\"stylesheet\" href=\"/s1.css\">"
               "<link rel=\"stylesheet\" href=\"/s2.css\"></head></html>",
               "text/html");
    server.Set("/s1.css", "p{background:url(a.png)}", "text/css", 200);
    server.Set("/s2.css", "p{background:url(b.png)} q{background:url(c.png)}", "text/css");
    for (const char* p : {"/a.png", "/b.png", "/c.png"})
        server.Set(p, "png");
    ArchiveOptions options;
    options.fetch.totalTimeoutMs = 5000;
    options.maxResources = 3;
    ArchiveResult r = BuildPageArchive(server.Url("/page.html"), options);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(PartLocations(r),
              (std::vector<std::string>{server.Url("/page.html"), server.Url("/s1.css"),
                                        server.Url("/s2.css"), server.Url("/a.png")}));
    std::vector<std::string> requests = server.Requests();
    std::sort(requests.begin(), requests.end());
    EXPECT_EQ(requests, (std::vector<std::string>{"/a.png", "/page.html", "/s1.css", "/s2.css"}));
}
