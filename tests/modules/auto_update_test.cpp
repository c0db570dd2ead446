// The update query through its exported class, against the sample service's
// manifest, and its time-outs.
#include "outside/LQAutoUpdate/LQAutoUpdate.h"
#include "outside/LQAutoUpdate/update_manifest.h"
#include "tests/support/sample_service_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace
{

class AutoUpdateTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { service = new SampleServiceProcess(); }
    static void TearDownTestSuite()
    {
        delete service;
        service = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(service->Running()); }
    void TearDown() override { ::unsetenv(kUpdateUrlEnvironmentVariable); }

    // Through the first entry of the object's table of operations, as the
    // program's caller is bound to it, then released the way it releases.
    static int AskThroughOperationZero(const std::string& url)
    {
        ::setenv(kUpdateUrlEnvironmentVariable, url.c_str(), 1);
        CLQAutoUpdate* update = CLQAutoUpdate::CreateInstance();
        EXPECT_NE(update, nullptr);
        if (!update)
            return -1;
        using Operation = int (*)(CLQAutoUpdate*);
        Operation first = (*reinterpret_cast<Operation**>(update))[0];
        const int result = first(update);
        ::operator delete(update);
        return result;
    }

    static SampleServiceProcess* service;
};
SampleServiceProcess* AutoUpdateTest::service = nullptr;

TEST_F(AutoUpdateTest, ReportsOnlyAVersionAboveThisOne)
{
    EXPECT_NE(AskThroughOperationZero(service->Url("/update/manifest.txt")), 0);
    EXPECT_NE(AskThroughOperationZero(service->Url("/update/manifest.txt?version=2.100.0")), 0);
    EXPECT_EQ(AskThroughOperationZero(service->Url("/update/manifest.txt?version=2.50.0")), 0);
    EXPECT_EQ(AskThroughOperationZero(service->Url("/update/manifest.txt?version=2.49.99")), 0);
}

TEST_F(AutoUpdateTest, NoServerABadManifestOrAStallAreNoNewerVersion)
{
    EXPECT_EQ(AskThroughOperationZero(service->Url("/update/manifest.txt?bad=1")), 0);
    EXPECT_EQ(AskThroughOperationZero(service->Url("/fail/404")), 0);
    EXPECT_EQ(AskThroughOperationZero(service->Url("/big/oversized?mb=1")), 0);
    EXPECT_EQ(AskThroughOperationZero("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) +
                                      "/update/manifest.txt"),
              0);

    // A server that accepts and never answers holds the caller no longer
    // than the total time-out (5 s), not for as long as it stalls (60 s).
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(AskThroughOperationZero(service->Url("/slow/no-answer?s=60")), 0);
    const auto held = std::chrono::steady_clock::now() - start;
    EXPECT_LT(held, std::chrono::seconds(10));
}

TEST(UpdateManifest, RefusesWhatIsNotAManifest)
{
    const std::string sha(64, 'a');
    const std::string good = "version=2.51.0\npackage=http://h/p.tar.gz\nsha256=" + sha + "\n";
    ASSERT_TRUE(ParseUpdateManifest(good));
    EXPECT_EQ(ParseUpdateManifest("# c\r\n" + good)->version, (CVersion{2, 51, 0}));
    for (const std::string& bad : {
             std::string("package=http://h/p.tar.gz\nsha256=") + sha,     // no version
             good + "version=2.52.0\n",                                   // a key twice
             "version=2.51\npackage=http://h/p\nsha256=" + sha,           // two parts
             "version=2.51.0x\npackage=http://h/p\nsha256=" + sha,        // trailing text
             "version=2.51.0\npackage=file:///etc/passwd\nsha256=" + sha, // not the web
             "version=2.51.0\npackage=http://h/a b\nsha256=" + sha,       // a blank
             "version=2.51.0\npackage=http://h/p\nsha256=" + sha.substr(1),
             "version=2.51.0\npackage=http://h/p\nsha256=" + std::string(64, 'g'),
             std::string("<html>maintenance</html>"),
         })
        EXPECT_FALSE(ParseUpdateManifest(bad)) << bad;
}

} // namespace
