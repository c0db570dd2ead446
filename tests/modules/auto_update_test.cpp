// The update query through its exported class, against the sample service's
// manifest, and its time-outs.
#include "outside/LQAutoUpdate/LQAutoUpdate.h"
#include "outside/LQAutoUpdate/update_manifest.h"
#include "tests/support/sample_service_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>

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

// The built-in update address when no name server answers: a mount and
// network namespace of the test's own (root only) whose resolv.conf names a
// server on loopback that takes every question and answers none, with a
// resolver time-out of 30 s. The query still ends within its own time-outs.
TEST(UpdateQueryNameLookUp, AStalledNameServerHoldsTheCallerNoLongerThanTheTimeOut)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: a mount and network namespace of its own";
    TempDir dir;
    const std::string resolver = dir / "resolv.conf";
    std::ofstream(resolver) << "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n";

    constexpr int kCannotSetUp = 77;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(resolver.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0)
            ::_exit(kCannotSetUp);
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        ifreq lo{};
        std::strcpy(lo.ifr_name, "lo");
        if (fd < 0 || ::ioctl(fd, SIOCGIFFLAGS, &lo) != 0)
            ::_exit(kCannotSetUp);
        lo.ifr_flags |= IFF_UP | IFF_RUNNING;
        sockaddr_in dns{};
        dns.sin_family = AF_INET;
        dns.sin_port = htons(53);
        dns.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // Bound and never read: questions arrive, no answer leaves.
        if (::ioctl(fd, SIOCSIFFLAGS, &lo) != 0 ||
            ::bind(fd, reinterpret_cast<sockaddr*>(&dns), sizeof dns) != 0)
            ::_exit(kCannotSetUp);
        ::unsetenv(kUpdateUrlEnvironmentVariable);
        const auto start = std::chrono::steady_clock::now();
        CLQAutoUpdate* update = CLQAutoUpdate::CreateInstance();
        const int newer = update ? update->IsNewVersionAvailable() : 1;
        const auto held = std::chrono::steady_clock::now() - start;
        ::_exit(newer != 0 ? 1 : held < std::chrono::seconds(10) ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kCannotSetUp)
        GTEST_SKIP() << "no namespace for the stalled name server";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a newer version without an answer; 2: held "
                                         "past the time-out by the name look-up";
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
