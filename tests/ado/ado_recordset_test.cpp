#include "platform/ado/ado.h"
#include "tests/support/test_database.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace ado;

namespace
{

class RecordsetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db.Run("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, n INTEGER, d DATETIME, "
               "r REAL, data BLOB);"
               "INSERT INTO t (name, n, d, r, data) VALUES ('a', 1, 45000.5, 1.5, X'0102'),"
               " ('b', 2, NULL, NULL, NULL), ('c', 3, NULL, NULL, X'');"
               "CREATE TABLE other (id INTEGER, label TEXT);"
               "INSERT INTO other VALUES (1, 'x');");
        _Connection* raw = nullptr;
        ASSERT_EQ(CreateConnectionObject(&raw), S_OK);
        connection = _ConnectionPtr(raw, false);
        connection->Open(
            _bstr_t(("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + db.File()).c_str()),
            _bstr_t(""), _bstr_t(""), 0);
    }

    _RecordsetPtr OpenRs(const std::string& sql)
    {
        _Recordset* raw = nullptr;
        EXPECT_EQ(CreateRecordsetObject(&raw), S_OK);
        _RecordsetPtr rs(raw, false);
        rs->Open(_variant_t(sql.c_str()), connection.GetInterfacePtr(), adOpenStatic,
                 adLockOptimistic, adCmdText);
        return rs;
    }
    static FieldPtr F(_RecordsetPtr& rs, long i)
    {
        return rs->GetFields()->GetItem(_variant_t(static_cast<std::int32_t>(i)));
    }

    TestDatabase db;
    _ConnectionPtr connection;
};

TEST_F(RecordsetTest, walk_visitsRowsInOrderAndMoveNextPastEndIsNotOk)
{
    _RecordsetPtr rs = OpenRs("SELECT name FROM t ORDER BY id");
    std::string names;
    ASSERT_FALSE(rs->GetEndOfFile());
    EXPECT_EQ(rs->MoveFirst(), S_OK);
    do
    {
        names += F(rs, 0)->GetValue().ToUtf8();
    } while (rs->MoveNext() == S_OK && !rs->GetEndOfFile());
    EXPECT_EQ(names, "abc");
    EXPECT_TRUE(rs->GetEndOfFile());
    EXPECT_NE(rs->MoveNext(), S_OK);
    EXPECT_THROW(F(rs, 0)->GetValue(), _com_error);
    EXPECT_EQ(rs->MoveFirst(), S_OK);
    EXPECT_EQ(F(rs, 0)->GetValue().ToUtf8(), "a");
}

// Ordinals in ORDER BY and GROUP BY count the query's own columns, also in
// record sets that can change their rows.
TEST_F(RecordsetTest, ordinalsInOrderAndGroupBy_referToTheQuerysColumns)
{
    db.Run("INSERT INTO t (name, n) VALUES ('d', 0), ('e', 2)");
    const std::pair<const char*, const char*> cases[] = {
        {"SELECT name, n FROM t ORDER BY 2 DESC, 1", "c3 b2 e2 a1 d0"},
        {"SELECT n, name FROM t ORDER BY 1, 2 DESC", "0d 1a 2e 2b 3c"},
        {"SELECT n, count(*) FROM t GROUP BY 1 ORDER BY 1", "01 11 22 31"},
        {"SELECT (SELECT max(id) FROM other) AS m, name FROM t WHERE n = 3 ORDER BY 2", "1c"},
        {"select name, n from t where name IN ('a', 'from') order by 2", "a1"},
    };
    for (const auto& [sql, expected] : cases)
    {
        SCOPED_TRACE(sql);
        _RecordsetPtr rs = OpenRs(sql);
        std::string rows;
        for (; !rs->GetEndOfFile(); rs->MoveNext())
            rows += (rows.empty() ? "" : " ") + F(rs, 0)->GetValue().ToUtf8() +
                    F(rs, 1)->GetValue().ToUtf8();
        EXPECT_EQ(rows, expected);
    }
    // Still a record set that can delete its current row.
    _RecordsetPtr rs = OpenRs("SELECT name, n FROM t ORDER BY 2 DESC");
    EXPECT_EQ(F(rs, 0)->GetValue().ToUtf8(), "c");
    rs->Delete(adAffectCurrent);
    EXPECT_EQ(db.Query("SELECT count(*) FROM t WHERE name = 'c'"), "0");
    EXPECT_EQ(db.Query("SELECT count(*) FROM t"), "4");
}

TEST_F(RecordsetTest, emptyResult_isAtEndAndBeginning)
{
    _RecordsetPtr rs = OpenRs("SELECT * FROM t WHERE n > 100");
    EXPECT_TRUE(rs->GetEndOfFile());
    EXPECT_TRUE(rs->GetBOF());
    EXPECT_EQ(rs->GetFields()->GetCount(), 6);
}

struct TypeCase
{
    long column;
    DataTypeEnum type;
    VARTYPE vt;
};

TEST_F(RecordsetTest, fieldsReportDeclaredTypesAndValuesOfMatchingKind)
{
    _RecordsetPtr rs = OpenRs("SELECT * FROM t ORDER BY id");
    const TypeCase cases[] = {
        {0, adInteger, VT_I4}, {1, adVarWChar, VT_BSTR}, {2, adInteger, VT_I4},
        {3, adDate, VT_DATE},  {4, adDouble, VT_R8},     {5, adLongVarBinary, VT_ARRAY | VT_UI1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.column);
        EXPECT_EQ(F(rs, c.column)->GetType(), c.type);
        EXPECT_EQ(F(rs, c.column)->GetValue().vt, c.vt);
    }
    EXPECT_DOUBLE_EQ(F(rs, 3)->GetValue().date, 45000.5);
    rs->MoveNext();
    EXPECT_EQ(F(rs, 3)->GetValue().vt, VT_NULL);
    EXPECT_EQ(F(rs, 5)->GetActualSize(), 0);
    EXPECT_EQ(F(rs, 5)->GetChunk(10).vt, VT_NULL);
}

TEST_F(RecordsetTest, expressionColumns_takeTheirTypeFromTheValue)
{
    _RecordsetPtr rs = OpenRs("SELECT X'' AS blank, 5000000000 AS big, 'txt' || name AS s FROM t");
    EXPECT_EQ(F(rs, 0)->GetType(), adLongVarBinary);
    EXPECT_EQ(F(rs, 0)->GetActualSize(), 0);
    _variant_t blank = F(rs, 0)->GetChunk(0);
    EXPECT_EQ(blank.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(blank.parray->rgsabound[0].cElements, 0u);
    // Beyond 32 bits: not an I4, so readers that want an I4 see none.
    _variant_t big = F(rs, 1)->GetValue();
    EXPECT_EQ(big.vt, VT_R8);
    EXPECT_DOUBLE_EQ(big.dblVal, 5000000000.0);
    EXPECT_EQ(F(rs, 2)->GetName().Utf8(), "s");
}

TEST_F(RecordsetTest, chunkReadsGiveTheRequestedPrefix)
{
    _RecordsetPtr rs = OpenRs("SELECT data FROM t WHERE name = 'a'");
    EXPECT_EQ(F(rs, 0)->GetActualSize(), 2);
    _variant_t one = F(rs, 0)->GetChunk(1);
    ASSERT_EQ(one.parray->rgsabound[0].cElements, 1u);
    EXPECT_EQ(static_cast<unsigned char*>(one.parray->pvData)[0], 1);
    _variant_t all = F(rs, 0)->GetChunk(100);
    EXPECT_EQ(all.parray->rgsabound[0].cElements, 2u);
}

TEST_F(RecordsetTest, addNew_insertsAndTheNewRecordBecomesCurrent)
{
    _RecordsetPtr rs = OpenRs("SELECT * FROM t");
    rs->AddNew(MissingArgument(), MissingArgument());
    F(rs, 1)->PutValue(_variant_t("new"));
    F(rs, 2)->PutValue(_variant_t(7));
    unsigned char part1[] = {9, 8};
    unsigned char part2[] = {7};
    SAFEARRAY* a1 = SafeArrayCreateVector(VT_UI1, 0, 2);
    std::memcpy(a1->pvData, part1, 2);
    SAFEARRAY* a2 = SafeArrayCreateVector(VT_UI1, 0, 1);
    std::memcpy(a2->pvData, part2, 1);
    VARIANT v1{}, v2{};
    v1.vt = v2.vt = VT_ARRAY | VT_UI1;
    v1.parray = a1;
    v2.parray = a2;
    _variant_t c1, c2;
    c1.Attach(v1);
    c2.Attach(v2);
    F(rs, 5)->AppendChunk(c1);
    F(rs, 5)->AppendChunk(c2);
    EXPECT_EQ(F(rs, 3)->GetValue().vt, VT_NULL); // not set yet
    rs->Update(MissingArgument(), MissingArgument());
    EXPECT_EQ(F(rs, 0)->GetValue().lVal, 4);
    EXPECT_EQ(F(rs, 1)->GetValue().ToUtf8(), "new");
    EXPECT_EQ(db.Query("SELECT hex(data) FROM t WHERE id = 4"), "090807");
    EXPECT_EQ(db.Query("SELECT typeof(d) FROM t WHERE id = 4"), "null");
}

TEST_F(RecordsetTest, editingTheCurrentRecord_writesOnUpdate)
{
    _RecordsetPtr rs = OpenRs("SELECT * FROM t WHERE name = 'b'");
    F(rs, 2)->PutValue(_variant_t(20));
    EXPECT_EQ(F(rs, 2)->GetValue().lVal, 20); // pending value shows
    EXPECT_EQ(db.Query("SELECT n FROM t WHERE name = 'b'"), "2");
    rs->Update(MissingArgument(), MissingArgument());
    EXPECT_EQ(db.Query("SELECT n FROM t WHERE name = 'b'"), "20");
    EXPECT_EQ(F(rs, 2)->GetValue().lVal, 20);
}

TEST_F(RecordsetTest, deleteWhileWalking_removesEachCurrentRecord)
{
    _RecordsetPtr rs = OpenRs("SELECT * FROM t WHERE n >= 2");
    int deleted = 0;
    while (!rs->GetEndOfFile())
    {
        rs->Delete(adAffectCurrent);
        ++deleted;
        EXPECT_THROW(F(rs, 1)->GetValue(), _com_error);
        if (rs->MoveNext() != S_OK)
            break;
    }
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(db.Query("SELECT group_concat(name) FROM t"), "a");
}

TEST_F(RecordsetTest, refusedWrite_raisesWithEngineMessage)
{
    db.Run("CREATE TABLE k (v INTEGER NOT NULL)");
    _RecordsetPtr rs = OpenRs("SELECT * FROM k");
    rs->AddNew(MissingArgument(), MissingArgument());
    try
    {
        rs->Update(MissingArgument(), MissingArgument());
        FAIL();
    }
    catch (const _com_error& e)
    {
        EXPECT_NE(std::string(e.DescriptionText()).find("NOT NULL"), std::string::npos);
    }
}

TEST_F(RecordsetTest, queriesOverSeveralTables_areReadOnly)
{
    _RecordsetPtr rs = OpenRs("SELECT t.name, other.label FROM t JOIN other ON other.id = t.id");
    ASSERT_FALSE(rs->GetEndOfFile());
    EXPECT_EQ(F(rs, 1)->GetValue().ToUtf8(), "x");
    try
    {
        rs->Delete(adAffectCurrent);
        FAIL();
    }
    catch (const _com_error& e)
    {
        EXPECT_EQ(e.Error(), ADO_E_FEATURENOTAVAILABLE);
    }
    EXPECT_THROW(rs->AddNew(MissingArgument(), MissingArgument()), _com_error);
    _RecordsetPtr counted = OpenRs("SELECT count(*) FROM t");
    EXPECT_THROW(counted->Delete(adAffectCurrent), _com_error);
    EXPECT_EQ(db.Query("SELECT count(*) FROM t"), "3");
}

TEST_F(RecordsetTest, valuesOfUnstorableTypes_areRefusedAtThePut)
{
    _RecordsetPtr rs = OpenRs("SELECT * FROM t");
    VARIANT odd{};
    odd.vt = VT_ERROR;
    odd.scode = E_FAIL;
    try
    {
        F(rs, 1)->PutValue(_variant_t(odd));
        FAIL();
    }
    catch (const _com_error& e)
    {
        EXPECT_EQ(e.Error(), DISP_E_TYPEMISMATCH);
    }
}

TEST_F(RecordsetTest, fieldsByNameAndBadIndexes)
{
    _RecordsetPtr rs = OpenRs("SELECT * FROM t ORDER BY id");
    EXPECT_EQ(rs->GetFields()->GetItem(_variant_t("NAME"))->GetValue().ToUtf8(), "a");
    EXPECT_THROW(rs->GetFields()->GetItem(_variant_t(6)), _com_error);
    EXPECT_THROW(rs->GetFields()->GetItem(_variant_t("nope")), _com_error);
}

TEST_F(RecordsetTest, sameQueryOpenTwiceAtOnce_walksIndependently)
{
    _RecordsetPtr a = OpenRs("SELECT name FROM t ORDER BY id");
    _RecordsetPtr b = OpenRs("SELECT name FROM t ORDER BY id");
    a->MoveNext();
    EXPECT_EQ(F(a, 0)->GetValue().ToUtf8(), "b");
    EXPECT_EQ(F(b, 0)->GetValue().ToUtf8(), "a");
}

TEST_F(RecordsetTest, connectionClosedUnderRecordSet_raisesInsteadOfCrashing)
{
    _RecordsetPtr rs = OpenRs("SELECT name FROM t");
    connection->Close();
    EXPECT_THROW(rs->GetEndOfFile(), _com_error);
    EXPECT_THROW(rs->GetFields(), _com_error);
}

TEST_F(RecordsetTest, textRoundTripsWithoutLoss)
{
    const char* text = "帖子标题 ‘quote’ \xF0\x9F\x98\x80 and 'apostrophe'";
    _RecordsetPtr rs = OpenRs("SELECT * FROM t");
    rs->AddNew(MissingArgument(), MissingArgument());
    F(rs, 1)->PutValue(_variant_t(text));
    rs->Update(MissingArgument(), MissingArgument());
    EXPECT_EQ(db.Query("SELECT name FROM t WHERE id = 4"), text);
    _RecordsetPtr back = OpenRs("SELECT name FROM t WHERE id = 4");
    EXPECT_EQ(F(back, 0)->GetValue().ToUtf8(), text);
}

} // namespace
