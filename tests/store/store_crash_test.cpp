#include "tests/store/store_fixture.h"
#include "tests/support/sqlite_fault_vfs.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace
{

constexpr size_t kContentBytes = 30000;

// Child: insert topics in a loop and report each id once InsertRecord has
// returned, that is once it is committed.
[[noreturn]] void InsertForever(const std::string& file, const std::string& temp, int out)
{
    CLQADODBController controller;
    COfflineStore store(controller, file, temp);
    if (store.OpenDatabase() != 1)
        _exit(3);
    for (long id = 1;; ++id)
    {
        CCommunityTable t;
        FillTopic(t, id, 1, "topic " + std::to_string(id), Pattern(id, kContentBytes));
        if (store.InsertRecord(t) != 1)
            _exit(4);
        if (write(out, &id, sizeof id) != static_cast<ssize_t>(sizeof id))
            _exit(5);
    }
}

TEST(StoreCrash, killedDuringInserts_keepsEveryCommittedRowWhole)
{
    std::string folder = MakeScratchFolder();
    std::string file = folder + "/MyZELK.mdb";
    ASSERT_EQ(CreateDatabaseIfMissing(file, MYZELK_TEST_SCHEMA, nullptr),
              DatabaseCreation::Created);
    SetDebugLogPathForTesting((folder + "/debug.txt").c_str());
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        close(fds[0]);
        InsertForever(file, folder, fds[1]);
    }
    close(fds[1]);

    std::vector<long> committed;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool killed = false;
    for (;;)
    {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 1000) > 0)
        {
            long id = 0;
            ssize_t got = read(fds[0], &id, sizeof id);
            if (got != static_cast<ssize_t>(sizeof id))
                break; // the child is gone
            committed.push_back(id);
        }
        if (!killed && (committed.size() >= 150 || std::chrono::steady_clock::now() > deadline))
        {
            kill(child, SIGKILL); // in the middle of the next insert
            killed = true;
        }
    }
    close(fds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child ended by itself with " << WEXITSTATUS(status);
    ASSERT_GE(committed.size(), 150u);

    EXPECT_EQ(RawQuery(file, "PRAGMA integrity_check"), "ok");
    CLQADODBController controller;
    COfflineStore store(controller, file, folder);
    ASSERT_EQ(store.OpenDatabase(), 1);
    size_t whole = 0;
    for (long id : committed)
    {
        CCommunityTable back;
        if (store.GetRecordById(id, back) != 0)
            continue;
        auto expected = Pattern(id, kContentBytes);
        if (back.GetBinaryLen(CCommunityTable::fContent) == static_cast<long>(kContentBytes) &&
            std::memcmp(back.GetBinaryBuf(CCommunityTable::fContent), expected.data(),
                        kContentBytes) == 0 &&
            back.GetText(CCommunityTable::fTitle) == "topic " + std::to_string(id))
            ++whole;
    }
    EXPECT_EQ(whole, committed.size());
    store.CloseDatabase();
    SetDebugLogPathForTesting("debug.txt");
    std::filesystem::remove_all(folder);
}

// A save reported as done survives a power cut: its commit reached the disk
// (the write-ahead log was synced) before InsertRecord returned.
TEST(StoreCrash, reportedInsert_isSyncedToDisk)
{
    TempDir folder;
    const std::string file = folder / "MyZELK.mdb";
    ASSERT_EQ(CreateDatabaseIfMissing(file, MYZELK_TEST_SCHEMA, nullptr),
              DatabaseCreation::Created);
    SetDebugLogPathForTesting((folder / "debug.txt").c_str());
    SqliteFaultVfs vfs;
    CLQADODBController controller;
    COfflineStore store(controller, file, folder.path());
    ASSERT_EQ(store.OpenDatabase(), 1);
    for (long id = 1; id <= 3; ++id)
    {
        const int before = vfs.WalSyncs();
        CCommunityTable t;
        FillTopic(t, id, 1, "topic", Pattern(id, 100));
        ASSERT_EQ(store.InsertRecord(t), 1);
        EXPECT_GT(vfs.WalSyncs(), before) << "insert " << id;
    }
    store.CloseDatabase();
    SetDebugLogPathForTesting("debug.txt");
}

} // namespace
