#include "tests/store/store_fixture.h"

#include <atomic>
#include <set>
#include <thread>

namespace
{

struct Seen
{
    std::set<long> ids;
    long rows = 0;
};

int Count(void* context, CLQADOField* row)
{
    auto* seen = static_cast<Seen*>(context);
    CCommunityTable t(row);
    seen->ids.insert(t.GetLong(CCommunityTable::fID));
    ++seen->rows;
    return 1;
}

using StoreConcurrencyTest = StoreFixture;

// The download worker inserts while the user lists and searches: nothing
// may fail and no row may go missing.
TEST_F(StoreConcurrencyTest, insertingAndListingAtOnce_losesNothing)
{
    constexpr long kTopics = 400;
    std::atomic<bool> done{false};
    std::atomic<int> insertFailures{0};
    std::thread worker(
        [&]
        {
            for (long id = 1; id <= kTopics; ++id)
            {
                CCommunityTable t;
                FillTopic(t, id, 7, "topic " + std::to_string(id), Pattern(id, 4096));
                if (store->InsertRecord(t) != 1)
                    ++insertFailures;
            }
            done = true;
        });
    long lastCount = 0;
    int listings = 0;
    bool shrank = false, listFailed = false;
    while (!done)
    {
        Seen seen;
        long rc = store->ListRoomRecords(OfflineTable::Community, 7, Count, &seen);
        if (rc != 0 && rc != LQADO_E_NORECORD)
            listFailed = true;
        if (seen.rows < lastCount)
            shrank = true;
        lastCount = seen.rows;
        Seen found;
        rc = store->SearchByTitle(OfflineTable::Community, "topic 1", Count, &found);
        if (rc != 0 && rc != LQADO_E_NORECORD)
            listFailed = true;
        ++listings;
    }
    worker.join();
    EXPECT_EQ(insertFailures, 0);
    EXPECT_FALSE(listFailed);
    EXPECT_FALSE(shrank);
    EXPECT_GT(listings, 1);
    Seen all;
    ASSERT_EQ(store->ListRoomRecords(OfflineTable::Community, 7, Count, &all), 0);
    EXPECT_EQ(all.rows, kTopics);
    EXPECT_EQ(all.ids.size(), static_cast<size_t>(kTopics));
    EXPECT_EQ(Log(), "");
}

} // namespace
