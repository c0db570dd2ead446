#include "platform/net/mhtml_reader.h"
#include "platform/net/page_archiver.h"
#include "tests/support/sample_service_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <set>
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
