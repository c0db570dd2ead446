#include "tests/store/store_fixture.h"

namespace
{

class DatabaseCreationTest : public ::testing::Test
{
protected:
    void SetUp() override { folder = MakeScratchFolder(); }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::string folder;
};

std::string ColumnNames(const std::string& file, const std::string& table)
{
    return RawQuery(file,
                    "SELECT group_concat(name, ',') FROM (SELECT name FROM pragma_table_info('" +
                        table + "') ORDER BY cid)");
}

TEST_F(DatabaseCreationTest, createsTheThreeTablesInColumnOrder)
{
    std::string file = folder + "/DataBase/MyZELK.mdb";
    std::string error;
    ASSERT_EQ(CreateDatabaseIfMissing(file, MYZELK_TEST_SCHEMA, &error), DatabaseCreation::Created)
        << error;
    // Nothing of the building is left beside it.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder + "/DataBase"))
        ++entries;
    EXPECT_EQ(entries, 1);
    EXPECT_EQ(ColumnNames(file, "tCommunity"),
              "fID,fTitle,fPostUserName,fPostUserNickName,fRank,fCredit,fRoomID,fRoomName,"
              "fReplyNum,fPoint,fReadNum,fInDate,fEndState,fContent,fRemark");
    EXPECT_EQ(ColumnNames(file, "tDevelop"),
              "fID,fTitle,fRoomID,fRoomName,fInDate,fAuthor,fContent,fRemark");
    EXPECT_EQ(ColumnNames(file, "tTopic"), "fTitle,fInDate,fContent,fRemark");
    EXPECT_EQ(RawQuery(file, "PRAGMA integrity_check"), "ok");
}

TEST_F(DatabaseCreationTest, existingDatabase_isNeverTouched)
{
    std::string file = folder + "/MyZELK.mdb";
    ASSERT_EQ(CreateDatabaseIfMissing(file, MYZELK_TEST_SCHEMA, nullptr),
              DatabaseCreation::Created);
    {
        sqlite3* db = nullptr;
        sqlite3_open(file.c_str(), &db);
        sqlite3_exec(db, "INSERT INTO tTopic (fTitle) VALUES ('mine')", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    EXPECT_EQ(CreateDatabaseIfMissing(file, MYZELK_TEST_SCHEMA, nullptr),
              DatabaseCreation::AlreadyThere);
    EXPECT_EQ(RawQuery(file, "SELECT fTitle FROM tTopic"), "mine");

    std::string other = folder + "/other.mdb";
    {
        std::ofstream(other) << "user's own bytes";
    }
    EXPECT_EQ(CreateDatabaseIfMissing(other, MYZELK_TEST_SCHEMA, nullptr),
              DatabaseCreation::AlreadyThere);
    EXPECT_EQ(ReadFile(other), "user's own bytes");
}

TEST_F(DatabaseCreationTest, badOrMissingSchema_failsAndLeavesNoFile)
{
    std::string bad = folder + "/bad.sql";
    {
        std::ofstream(bad) << "CREATE TABLE a (x); CREATE TABLE oops";
    }
    std::string file = folder + "/MyZELK.mdb";
    std::string error;
    EXPECT_EQ(CreateDatabaseIfMissing(file, bad, &error), DatabaseCreation::Failed);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(PathExists(file));
    EXPECT_EQ(CreateDatabaseIfMissing(file, folder + "/none.sql", &error),
              DatabaseCreation::Failed);
    EXPECT_FALSE(PathExists(file));
}

} // namespace
