#include "platform/ado/ado.h"
#include "platform/ado/connection_string.h"
#include "tests/support/test_database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

using namespace ado;

namespace
{

_ConnectionPtr NewConnection()
{
    _Connection* raw = nullptr;
    EXPECT_EQ(CreateConnectionObject(&raw), S_OK);
    return _ConnectionPtr(raw, false);
}

std::string Jet(const std::string& file)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file +
           ";Persist Security Info=False;Jet OLEDB:Database Password=(null);";
}

class ConnectionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db.Run("CREATE TABLE t (a INTEGER)");
        connection = NewConnection();
        connection->Open(_bstr_t(Jet(db.File()).c_str()), _bstr_t(""), _bstr_t(""), 0);
    }
    TestDatabase db;
    _ConnectionPtr connection;
};

TEST_F(ConnectionTest, stateFollowsOpenAndClose)
{
    EXPECT_EQ(connection->GetState(), adStateOpen);
    connection->Close();
    EXPECT_EQ(connection->GetState(), adStateClosed);
    try
    {
        connection->BeginTrans();
        FAIL();
    }
    catch (const _com_error& e)
    {
        EXPECT_EQ(e.Error(), ADO_E_OBJECTCLOSED);
    }
}

TEST_F(ConnectionTest, openTwice_isRefused)
{
    EXPECT_THROW(connection->Open(_bstr_t(Jet(db.File()).c_str()), _bstr_t(""), _bstr_t(""), 0),
                 _com_error);
    EXPECT_EQ(connection->GetState(), adStateOpen);
}

TEST(ConnectionStrings, keysAreCaseBlindAndOrderFree)
{
    TestDatabase db;
    db.Run("CREATE TABLE t (a)");
    _ConnectionPtr c = NewConnection();
    c->Open(
        _bstr_t((" data source = " + db.File() + " ; PROVIDER=microsoft.jet.oledb.4.0").c_str()),
        _bstr_t(""), _bstr_t(""), 0);
    EXPECT_EQ(c->GetState(), adStateOpen);
}

TEST(ConnectionStrings, quotedValuesKeepSemicolonsAndQuotes)
{
    ConnectionString items("Provider=x;Data Source=\"/a;b/c.mdb\";Password='it''s';"
                           "User ID=\"say \"\"hi\"\"\";Plain= p ;");
    EXPECT_EQ(items.Get("Data Source").value_or("?"), "/a;b/c.mdb");
    EXPECT_EQ(items.Get("Password").value_or("?"), "it's");
    EXPECT_EQ(items.Get("User ID").value_or("?"), "say \"hi\"");
    EXPECT_EQ(items.Get("Plain").value_or("?"), "p");
    EXPECT_EQ(items.Get("Provider").value_or("?"), "x");
}

TEST(ConnectionStrings, missingProviderOrSource_isRefusedClearly)
{
    TestDatabase db;
    db.Run("CREATE TABLE t (a)");
    const std::pair<std::string, HRESULT> cases[] = {
        {"Data Source=" + db.File() + ";", ADO_E_PROVIDERNOTFOUND},
        {"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + db.File() + ";",
         ADO_E_PROVIDERNOTFOUND},
        {"Provider=Microsoft.Jet.OLEDB.4.0;", E_FAIL},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + db.Folder() + ";", E_FAIL},
    };
    for (const auto& [text, code] : cases)
    {
        SCOPED_TRACE(text);
        _ConnectionPtr c = NewConnection();
        try
        {
            c->Open(_bstr_t(text.c_str()), _bstr_t(""), _bstr_t(""), 0);
            ADD_FAILURE() << "opened";
        }
        catch (const _com_error& e)
        {
            EXPECT_EQ(e.Error(), code);
            EXPECT_NE(e.DescriptionText(), nullptr);
        }
        EXPECT_EQ(c->GetState(), adStateClosed);
    }
}

TEST(ConnectionOpen, readOnlyFile_isRefusedRatherThanOpenedForReadingOnly)
{
    TestDatabase db;
    db.Run("CREATE TABLE t (a)");
    ASSERT_EQ(::chmod(db.File().c_str(), 0444), 0);
    _ConnectionPtr c = NewConnection();
    try
    {
        c->Open(_bstr_t(Jet(db.File()).c_str()), _bstr_t(""), _bstr_t(""), 0);
        ADD_FAILURE() << "a read-only database was opened";
    }
    catch (const _com_error& e)
    {
        EXPECT_EQ(e.Error(), E_FAIL);
        ASSERT_NE(e.DescriptionText(), nullptr);
        EXPECT_NE(std::string(e.DescriptionText()).find("read-only"), std::string::npos);
    }
    EXPECT_EQ(c->GetState(), adStateClosed);
    ASSERT_EQ(::chmod(db.File().c_str(), 0644), 0);
    EXPECT_NO_THROW(c->Open(_bstr_t(Jet(db.File()).c_str()), _bstr_t(""), _bstr_t(""), 0));
}

TEST_F(ConnectionTest, nestedTransactions_reportLevelsAndUndoOnlyTheirOwnWork)
{
    EXPECT_EQ(connection->BeginTrans(), 1);
    connection->Execute(_bstr_t("INSERT INTO t VALUES (1)"), nullptr, adCmdText);
    EXPECT_EQ(connection->BeginTrans(), 2);
    connection->Execute(_bstr_t("INSERT INTO t VALUES (2)"), nullptr, adCmdText);
    EXPECT_EQ(connection->BeginTrans(), 3);
    connection->Execute(_bstr_t("INSERT INTO t VALUES (3)"), nullptr, adCmdText);
    connection->CommitTrans();   // 3 joins 2
    connection->RollbackTrans(); // 2 (and 3) undone
    EXPECT_EQ(connection->BeginTrans(), 2);
    connection->Execute(_bstr_t("INSERT INTO t VALUES (4)"), nullptr, adCmdText);
    connection->CommitTrans();
    connection->CommitTrans();
    EXPECT_EQ(db.Query("SELECT group_concat(a, ',') FROM t"), "1,4");
    EXPECT_THROW(connection->RollbackTrans(), _com_error);
}

TEST_F(ConnectionTest, closeWithOpenTransaction_undoesIt)
{
    connection->BeginTrans();
    connection->Execute(_bstr_t("INSERT INTO t VALUES (9)"), nullptr, adCmdText);
    connection->Close();
    EXPECT_EQ(db.Query("SELECT count(*) FROM t"), "0");
}

TEST_F(ConnectionTest, executeRunsEveryStatementAndCountsChanges)
{
    _variant_t affected;
    connection->Execute(_bstr_t("INSERT INTO t VALUES (1); INSERT INTO t VALUES (2);"), &affected,
                        adCmdText);
    EXPECT_EQ(affected.lVal, 2);
    connection->Execute(_bstr_t("UPDATE t SET a = a + 10"), &affected, adCmdText);
    EXPECT_EQ(affected.lVal, 2);
    EXPECT_EQ(db.Query("SELECT sum(a) FROM t"), "23");
}

TEST_F(ConnectionTest, failingStatementInTheMiddle_raisesAndKeepsEarlierOnes)
{
    try
    {
        connection->Execute(_bstr_t("INSERT INTO t VALUES (1); INSERT INTO nowhere VALUES (2)"),
                            nullptr, adCmdText);
        FAIL();
    }
    catch (const _com_error& e)
    {
        EXPECT_STREQ(e.DescriptionText(), "no such table: nowhere");
    }
    EXPECT_EQ(db.Query("SELECT count(*) FROM t"), "1");
}

TEST_F(ConnectionTest, schemaListing_typesTablesViewsAndEngineTables)
{
    db.Run("CREATE VIEW v AS SELECT a FROM t; CREATE TABLE u (b INTEGER PRIMARY KEY AUTOINCREMENT);"
           "INSERT INTO u DEFAULT VALUES;");
    _variant_t missing = MissingArgument();
    _RecordsetPtr rs = connection->OpenSchema(adSchemaTables, missing, missing);
    std::string seen;
    for (; !rs->GetEndOfFile(); rs->MoveNext())
    {
        seen += rs->GetFields()->GetItem(_variant_t("TABLE_NAME"))->GetValue().ToUtf8() + "=" +
                rs->GetFields()->GetItem(_variant_t("TABLE_TYPE"))->GetValue().ToUtf8() + ";";
    }
    EXPECT_EQ(seen,
              "sqlite_master=SYSTEM TABLE;sqlite_sequence=SYSTEM TABLE;t=TABLE;u=TABLE;v=VIEW;");
}

TEST_F(ConnectionTest, releasedWithoutClose_stillLetsOthersWrite)
{
    connection = nullptr;
    _ConnectionPtr other = NewConnection();
    other->Open(_bstr_t(Jet(db.File()).c_str()), _bstr_t(""), _bstr_t(""), 0);
    other->BeginTrans();
    other->Execute(_bstr_t("INSERT INTO t VALUES (5)"), nullptr, adCmdText);
    other->CommitTrans();
    EXPECT_EQ(db.Query("SELECT a FROM t"), "5");
}

TEST(ObjectCreation, injectedFailure_givesNullAndOutOfMemory)
{
    FailNextObjectCreations(1);
    _Recordset* rs = nullptr;
    EXPECT_EQ(CreateRecordsetObject(&rs), E_OUTOFMEMORY);
    EXPECT_EQ(rs, nullptr);
    EXPECT_EQ(CreateRecordsetObject(&rs), S_OK);
    rs->Release();
}

} // namespace

namespace
{

TEST(StatementReuse, repeatedTextsKeepWorkingAcrossSchemaChanges)
{
    TestDatabase db;
    db.Run("CREATE TABLE t (a INTEGER)");
    _Connection* raw = nullptr;
    ASSERT_EQ(CreateConnectionObject(&raw), S_OK);
    _ConnectionPtr c(raw, false);
    c->Open(_bstr_t(("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + db.File()).c_str()),
            _bstr_t(""), _bstr_t(""), 0);
    for (int i = 0; i < 3; ++i)
        c->Execute(_bstr_t("INSERT INTO t (a) VALUES (1)"), nullptr, adCmdText);
    c->Execute(_bstr_t("ALTER TABLE t ADD COLUMN b TEXT DEFAULT 'x'"), nullptr, adCmdText);
    c->Execute(_bstr_t("INSERT INTO t (a) VALUES (1)"), nullptr, adCmdText);
    c->Execute(_bstr_t("INSERT INTO t (a, b) VALUES (2, 'y')"), nullptr, adCmdText);
    EXPECT_EQ(db.Query("SELECT count(*) || group_concat(b, '') FROM t"), "5xxxxy");
}

} // namespace
