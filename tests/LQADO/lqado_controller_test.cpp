#include "LQADO/LQADO.h"
#include "tests/support/test_database.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <string>
#include <vector>

namespace
{

class ControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db.Run("CREATE TABLE items (id INTEGER PRIMARY KEY, name TEXT, room INTEGER, data BLOB);"
               "INSERT INTO items (name, room, data) VALUES ('one', 1, X'01'), ('two', 1, X'0202'),"
               " ('three', 2, X'030303');");
        ASSERT_EQ(controller.ConnectForAccess2000(db.File().c_str(), nullptr), 0);
    }
    void TearDown() override { controller.UnInitial(); }

    TestDatabase db;
    CLQADODBController controller;
};

struct Walk
{
    std::vector<std::string> names;
    int stopAfter = -1; // calls before answering 0
};

int Collect(void* context, CLQADOField* fields)
{
    auto* walk = static_cast<Walk*>(context);
    walk->names.push_back(fields->GetData(1)->ToUtf8());
    return static_cast<int>(walk->names.size()) != walk->stopAfter;
}

TEST_F(ControllerTest, walkOverThreeRecords_callsBackInRecordOrder)
{
    Walk walk;
    EXPECT_EQ(controller.GetRecorderSet("SELECT * FROM items ORDER BY id", Collect, &walk), 0);
    EXPECT_EQ(walk.names, (std::vector<std::string>{"one", "two", "three"}));
}

TEST_F(ControllerTest, callbackAnsweringZeroOnFirstRecord_isCalledOnce)
{
    Walk walk;
    walk.stopAfter = 1;
    EXPECT_EQ(controller.GetRecorderSet("SELECT * FROM items", Collect, &walk), 0);
    EXPECT_EQ(walk.names.size(), 1u);
}

TEST_F(ControllerTest, queryMatchingNothing_returnsMinus5WithoutTouchingFieldsOrCallback)
{
    CLQADOField fields(4);
    *fields.GetData(1) = _variant_t("kept");
    EXPECT_EQ(controller.GetFirstRecorder("SELECT * FROM items WHERE room = 99", fields), -5);
    EXPECT_EQ(fields.GetData(1)->ToUtf8(), "kept");
    Walk walk;
    EXPECT_EQ(controller.GetRecorderSet("SELECT * FROM items WHERE room = 99", Collect, &walk), -5);
    EXPECT_TRUE(walk.names.empty());
    _RecordsetPtr rs;
    EXPECT_EQ(controller.OpenBySQL("SELECT * FROM items WHERE room = 99", rs), -5);
    EXPECT_FALSE(rs);
}

int CountRows(void* context, _RecordsetPtr& rs)
{
    auto* names = static_cast<std::vector<std::string>*>(context);
    names->push_back(rs->GetFields()->GetItem(_variant_t("name"))->GetValue().ToUtf8());
    return 1;
}

TEST_F(ControllerTest, cursorCallback_readsEachRecordThroughTheRecordSet)
{
    std::vector<std::string> names;
    EXPECT_EQ(controller.GetRecorderSet("SELECT * FROM items WHERE room = 1 ORDER BY id", CountRows,
                                        &names),
              0);
    EXPECT_EQ(names, (std::vector<std::string>{"one", "two"}));
}

TEST_F(ControllerTest, firstRecorder_copiesEveryColumnWithBinaryAsByteArray)
{
    CLQADOField fields(4);
    ASSERT_EQ(controller.GetFirstRecorder("SELECT * FROM items WHERE name = 'two'", fields), 0);
    EXPECT_EQ(fields.GetData(0)->vt, VT_I4);
    EXPECT_EQ(fields.GetData(0)->lVal, 2);
    EXPECT_EQ(fields.GetData(1)->ToUtf8(), "two");
    EXPECT_EQ(CLQADOVTData::GetBinaryDataLen(*fields.GetData(3)), 2);
    auto* bytes = static_cast<unsigned char*>(CLQADOVTData::GetBinaryDataBuf(*fields.GetData(3)));
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[1], 2);
}

TEST_F(ControllerTest, longBinary_survivesWriteAndRead)
{
    std::vector<unsigned char> data(300000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i * 7 + 3);
    data[10] = 0; // zero bytes inside must survive
    CLQADOField fields(4);
    fields.GetData(0)->wReserved1 = LQADO_GENERATED_MARKER;
    *fields.GetData(1) = _variant_t("blob");
    *fields.GetData(2) = _variant_t(5);
    CLQADOField::CopyIntoSlot(*fields.GetData(3), CLQADOVTData::SetBinaryData(
                                                      data.data(), static_cast<long>(data.size())));
    ASSERT_EQ(controller.AddRecorder("items", fields, 0), 0);

    CLQADOField back(4);
    ASSERT_EQ(controller.GetFirstRecorder("SELECT * FROM items WHERE name = 'blob'", back), 0);
    ASSERT_EQ(back.GetData(3)->vt, VT_ARRAY | VT_UI1);
    ASSERT_EQ(CLQADOVTData::GetBinaryDataLen(*back.GetData(3)), static_cast<long>(data.size()));
    EXPECT_EQ(0,
              memcmp(CLQADOVTData::GetBinaryDataBuf(*back.GetData(3)), data.data(), data.size()));
}

TEST_F(ControllerTest, addWithFlagZero_leavesFieldSetAlone)
{
    CLQADOField fields(4);
    fields.GetData(0)->wReserved1 = LQADO_GENERATED_MARKER;
    *fields.GetData(1) = _variant_t("four");
    *fields.GetData(2) = _variant_t(3);
    ASSERT_EQ(controller.AddRecorder("items", fields, 0), 0);
    EXPECT_EQ(fields.GetData(0)->vt, VT_EMPTY);
    EXPECT_EQ(fields.GetData(1)->ToUtf8(), "four");
    EXPECT_EQ(db.Query("SELECT name FROM items WHERE id = 4"), "four");
}

TEST_F(ControllerTest, addWithReadBack_fillsMarkedSlotWithDatabaseValueOnly)
{
    CLQADOField fields(4);
    fields.GetData(0)->wReserved1 = LQADO_GENERATED_MARKER;
    *fields.GetData(1) = _variant_t("five");
    *fields.GetData(2) = _variant_t(3);
    ASSERT_EQ(controller.AddRecorder("items", fields, 1), 0);
    EXPECT_EQ(fields.GetData(0)->vt, VT_I4);
    EXPECT_EQ(fields.GetData(0)->lVal, 4); // the key the database assigned
    EXPECT_EQ(fields.GetData(0)->wReserved1, LQADO_GENERATED_MARKER);
    EXPECT_EQ(fields.GetData(1)->ToUtf8(), "five");
    EXPECT_EQ(fields.GetData(3)->vt, VT_EMPTY);
}

TEST_F(ControllerTest, refusedAdd_raisesWithEngineMessage)
{
    db.Run("CREATE TABLE keyed (k INTEGER NOT NULL UNIQUE)");
    CLQADOField fields(1);
    *fields.GetData(0) = _variant_t(1);
    ASSERT_EQ(controller.AddRecorder("keyed", fields, 0), 0);
    try
    {
        controller.AddRecorder("keyed", fields, 0);
        FAIL() << "duplicate key accepted";
    }
    catch (const _com_error& e)
    {
        EXPECT_NE(std::string(e.DescriptionText()).find("UNIQUE"), std::string::npos);
    }
    EXPECT_EQ(db.Query("SELECT count(*) FROM keyed"), "1");
}

TEST_F(ControllerTest, modifyMatchingTwo_changesOnlyTheFirst)
{
    CLQADOField fields(4);
    for (long i : {0L, 2L, 3L})
        fields.GetData(i)->wReserved1 = LQADO_GENERATED_MARKER;
    *fields.GetData(1) = _variant_t("changed");
    ASSERT_EQ(controller.ModifyRecorder("SELECT * FROM items WHERE room = 1 ORDER BY id", fields),
              0);
    EXPECT_EQ(db.Query("SELECT group_concat(name, ',') FROM (SELECT name FROM items ORDER BY id)"),
              "changed,two,three");
    EXPECT_EQ(db.Query("SELECT hex(data) FROM items WHERE id = 1"), "01");
    EXPECT_EQ(controller.ModifyRecorder("SELECT * FROM items WHERE room = 42", fields), -5);
}

TEST_F(ControllerTest, removeMatchingSeveral_deletesAllOfThem)
{
    db.Run("INSERT INTO items (name, room) VALUES ('x', 1), ('y', 1), ('z', 3)");
    EXPECT_EQ(controller.RemoveRecorderSet("SELECT * FROM items WHERE room = 1"), 0);
    EXPECT_EQ(db.Query("SELECT count(*) FROM items WHERE room = 1"), "0");
    EXPECT_EQ(db.Query("SELECT count(*) FROM items"), "2");
    EXPECT_EQ(controller.RemoveRecorderSet("SELECT * FROM items WHERE room = 1"), -5);
}

TEST_F(ControllerTest, nestedBegin_returnsTwoAndInnerRollbackKeepsOuterWork)
{
    EXPECT_EQ(controller.BeginTrans(), 1);
    controller.ExeSQL("INSERT INTO items (name) VALUES ('outer')");
    EXPECT_EQ(controller.BeginTrans(), 2);
    controller.ExeSQL("INSERT INTO items (name) VALUES ('inner')");
    controller.RollbackTrans();
    controller.CommitTrans();
    EXPECT_EQ(db.Query("SELECT count(*) FROM items WHERE name IN ('outer', 'inner')"), "1");
    EXPECT_EQ(db.Query("SELECT name FROM items WHERE name = 'outer'"), "outer");
}

TEST_F(ControllerTest, rollback_undoesTheTransaction)
{
    controller.BeginTrans();
    controller.ExeSQL("DELETE FROM items");
    controller.RollbackTrans();
    EXPECT_EQ(db.Query("SELECT count(*) FROM items"), "3");
    EXPECT_THROW(controller.CommitTrans(), _com_error); // none is open
}

TEST_F(ControllerTest, badStatement_raisesWithEngineMessage)
{
    try
    {
        controller.ExeSQL("DELETE FROM nowhere");
        FAIL();
    }
    catch (const _com_error& e)
    {
        EXPECT_EQ(e.Error(), E_FAIL);
        EXPECT_STREQ(e.DescriptionText(), "no such table: nowhere");
    }
    _RecordsetPtr rs;
    EXPECT_THROW(controller.OpenTable("nowhere", rs), _com_error);
}

TEST_F(ControllerTest, tableCount_countsUserTablesOnly)
{
    db.Run("CREATE TABLE second (x); CREATE VIEW v AS SELECT * FROM items;"
           "CREATE INDEX items_room ON items (room)");
    controller.UnInitial();
    ASSERT_EQ(controller.ConnectForAccess2000(db.File().c_str(), nullptr), 0);
    EXPECT_EQ(controller.GetTableCount(), 2);
    db.Run("CREATE TABLE third (x)");
    EXPECT_EQ(controller.GetTableCount(), 3);
}

TEST_F(ControllerTest, fieldCount_isTheTablesColumnCount)
{
    EXPECT_EQ(controller.GetFieldCount("items"), 4);
    EXPECT_THROW(controller.GetFieldCount("nowhere"), _com_error);
}

TEST_F(ControllerTest, openTable_handsOutAnOpenRecordSetOnAllRows)
{
    _RecordsetPtr rs;
    ASSERT_EQ(controller.OpenTable("items", rs), 0);
    int rows = 0;
    for (; !rs->GetEndOfFile(); rs->MoveNext())
        ++rows;
    EXPECT_EQ(rows, 3);
}

} // namespace

namespace
{

struct HeapWatch
{
    size_t baseline = 0;
    size_t peak = 0;
    long rows = 0;
};

size_t HeapInUse()
{
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

int WatchHeap(void* context, CLQADOField* fields)
{
    auto* watch = static_cast<HeapWatch*>(context);
    size_t now = HeapInUse();
    if (now > watch->peak)
        watch->peak = now;
    watch->rows += CLQADOVTData::GetBinaryDataLen(*fields->GetData(1)) == 200000;
    return 1;
}

TEST(RecordWalk, largeTable_isWalkedOneRecordAtATime)
{
    TestDatabase db;
    db.Run("CREATE TABLE big (id INTEGER, data BLOB);"
           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
           "INSERT INTO big SELECT i, randomblob(200000) FROM n;");
    CLQADODBController controller;
    ASSERT_EQ(controller.ConnectForAccess2000(db.File().c_str(), nullptr), 0);
    HeapWatch watch;
    watch.baseline = HeapInUse();
    ASSERT_EQ(controller.GetRecorderSet("SELECT * FROM big", WatchHeap, &watch), 0);
    EXPECT_EQ(watch.rows, 200);
    // 40 MB of rows; the walk may hold a few of them, never all.
    EXPECT_LT(watch.peak - watch.baseline, 8u * 1000 * 1000);
    controller.UnInitial();
}

} // namespace
