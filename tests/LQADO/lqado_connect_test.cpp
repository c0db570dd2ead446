#include "LQADO/LQADO.h"
#include "tests/support/test_database.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <string>

namespace
{

bool Exists(const std::string& path)
{
    struct stat info
    {
    };
    return stat(path.c_str(), &info) == 0;
}

HRESULT RaisedCode(const std::function<void()>& call)
{
    try
    {
        call();
    }
    catch (const _com_error& e)
    {
        return e.Error();
    }
    return S_OK;
}

class ConnectTest : public ::testing::Test
{
protected:
    void SetUp() override { db.Run("CREATE TABLE t (a INTEGER)"); }
    void TearDown() override { LQADOFailNextCreations(0); }
    TestDatabase db;
    CLQADODBController controller;
};

TEST_F(ConnectTest, access2000WithNullPassword_writesNullTextIntoConnectionString)
{
    ASSERT_EQ(controller.ConnectForAccess2000(db.File().c_str(), nullptr), 0);
    EXPECT_EQ(std::string(LQADOLastConnectionString()),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + db.File() +
                  ";Persist Security Info=False;Jet OLEDB:Database Password=(null);");
    controller.UnInitial();
}

TEST_F(ConnectTest, access1997_opensTheSameFileWithItsOwnProviderText)
{
    ASSERT_EQ(controller.ConnectForAccess1997(db.File().c_str(), "pw"), 0);
    EXPECT_EQ(std::string(LQADOLastConnectionString()),
              "Provider=Microsoft.Jet.OLEDB.3.51;Data Source=" + db.File() +
                  ";Persist Security Info=False;Jet OLEDB:Database Password=pw;");
    EXPECT_EQ(controller.GetTableCount(), 1);
    controller.UnInitial();
}

TEST_F(ConnectTest, pathWithSemicolon_isQuotedAndOpensThatFile)
{
    std::string folder = db.Folder() + "/a;b";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    std::string file = folder + "/My.mdb";
    RunOnDatabaseFile(file, "CREATE TABLE one (x); CREATE TABLE two (y)");
    ASSERT_EQ(controller.ConnectForAccess2000(file.c_str(), nullptr), 0);
    EXPECT_EQ(std::string(LQADOLastConnectionString()),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + file +
                  "\";Persist Security Info=False;Jet OLEDB:Database Password=(null);");
    EXPECT_EQ(controller.GetTableCount(), 2);
    controller.UnInitial();
}

struct ForeignProvider
{
    const char* name;
    std::function<long(CLQADODBController&)> connect;
    std::string text;
};

TEST_F(ConnectTest, providersNotAvailableHere_raiseWithTextSayingSo)
{
    const ForeignProvider cases[] = {
        {"FoxPro", [](CLQADODBController& c) { return c.ConnectForFoxpro("/data/dbf"); },
         "Provider=MSDASQL;DRIVER=Microsoft Visual FoxPro "
         "Driver;SourceType=DBF;SourceDB=/data/dbf;"},
        {"SQL Server",
         [](CLQADODBController& c) { return c.ConnectForSQLServer("srv", "cat", 0, "sa", "pw"); },
         "Provider=SQLOLEDB.1;Data Source=srv;Initial Catalog=cat;User ID=sa;Password=pw;"},
        {"SQL Server integrated",
         [](CLQADODBController& c)
         { return c.ConnectForSQLServer("srv", "cat", 7, nullptr, "pw"); },
         "Provider=SQLOLEDB.1;Data Source=srv;Initial Catalog=cat;Integrated Security=SSPI;"
         "User ID=(null);Password=pw;"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CLQADODBController fresh;
        try
        {
            c.connect(fresh);
            ADD_FAILURE() << "connect did not raise";
        }
        catch (const _com_error& e)
        {
            EXPECT_EQ(e.Error(), ado::ADO_E_PROVIDERNOTFOUND);
            ASSERT_NE(e.DescriptionText(), nullptr);
            EXPECT_NE(std::string(e.DescriptionText()).find("not available"), std::string::npos);
        }
        EXPECT_EQ(std::string(LQADOLastConnectionString()), c.text);
    }
}

TEST_F(ConnectTest, missingFile_isRefusedAndNotCreated)
{
    std::string missing = db.Folder() + "/none.mdb";
    try
    {
        controller.ConnectForAccess2000(missing.c_str(), nullptr);
        FAIL() << "a missing database was opened";
    }
    catch (const _com_error& e)
    {
        ASSERT_NE(e.DescriptionText(), nullptr);
        EXPECT_NE(std::string(e.DescriptionText()).find(missing), std::string::npos);
    }
    EXPECT_FALSE(Exists(missing));
    // The connection object exists but is closed: closing again is a no-op.
    EXPECT_NO_THROW(controller.UnInitial());
}

TEST_F(ConnectTest, fileThatIsNoDatabase_isRefusedWithTheEngineMessage)
{
    std::string other = db.Folder() + "/notes.mdb";
    FILE* f = fopen(other.c_str(), "wb");
    fputs("this is not a database file, just some text that is long enough", f);
    fclose(f);
    try
    {
        controller.ConnectForAccess2000(other.c_str(), nullptr);
        FAIL();
    }
    catch (const _com_error& e)
    {
        EXPECT_NE(std::string(e.DescriptionText()).find("not a database"), std::string::npos);
    }
}

TEST_F(ConnectTest, everyOperationWithoutConnectionObject_raisesEPointer)
{
    _RecordsetPtr rs;
    CLQADOField fields(1);
    const std::pair<const char*, std::function<void()>> calls[] = {
        {"UnInitial", [&] { controller.UnInitial(); }},
        {"BeginTrans", [&] { controller.BeginTrans(); }},
        {"CommitTrans", [&] { controller.CommitTrans(); }},
        {"RollbackTrans", [&] { controller.RollbackTrans(); }},
        {"ExeSQL", [&] { controller.ExeSQL("DELETE FROM t"); }},
        {"OpenTable", [&] { controller.OpenTable("t", rs); }},
        {"OpenBySQL", [&] { controller.OpenBySQL("SELECT * FROM t", rs); }},
        {"GetFirstRecorder", [&] { controller.GetFirstRecorder("SELECT * FROM t", fields); }},
        {"AddRecorder", [&] { controller.AddRecorder("t", fields, 0); }},
        {"GetTableCount", [&] { controller.GetTableCount(); }},
    };
    for (const auto& [name, call] : calls)
    {
        SCOPED_TRACE(name);
        EXPECT_EQ(RaisedCode(call), E_POINTER);
    }
}

TEST_F(ConnectTest, creationFailure_returnsMinus2AndUnInitialThenRaisesEPointer)
{
    ASSERT_EQ(controller.ConnectForAccess2000(db.File().c_str(), nullptr), 0);
    LQADOFailNextCreations(1);
    // A failed connect releases the old object: no connection is left.
    EXPECT_EQ(controller.ConnectForAccess2000(db.File().c_str(), nullptr), -2);
    EXPECT_EQ(RaisedCode([&] { controller.UnInitial(); }), E_POINTER);
}

TEST_F(ConnectTest, recordSetCreationFailure_returnsMinus2AndLeavesHandleEmpty)
{
    ASSERT_EQ(controller.ConnectForAccess2000(db.File().c_str(), nullptr), 0);
    _RecordsetPtr rs;
    LQADOFailNextCreations(1);
    EXPECT_EQ(controller.OpenBySQL("SELECT * FROM t", rs), -2);
    EXPECT_FALSE(rs);
    CLQADOField fields(1);
    LQADOFailNextCreations(1);
    EXPECT_EQ(controller.AddRecorder("t", fields, 0), -2);
    EXPECT_EQ(db.Query("SELECT count(*) FROM t"), "0");
    controller.UnInitial();
}

TEST_F(ConnectTest, reconnectAfterDisconnect_works)
{
    ASSERT_EQ(controller.ConnectForAccess2000(db.File().c_str(), nullptr), 0);
    controller.UnInitial();
    EXPECT_NE(RaisedCode([&] { controller.ExeSQL("DELETE FROM t"); }), S_OK);
    ASSERT_EQ(controller.ConnectForAccess2000(db.File().c_str(), nullptr), 0);
    EXPECT_NO_THROW(controller.ExeSQL("INSERT INTO t VALUES (1)"));
    controller.UnInitial();
    EXPECT_EQ(db.Query("SELECT count(*) FROM t"), "1");
}

} // namespace
