// The database controller: one connection, transactions, SQL execution and
// record reading, adding, modifying and removing by column position.
//
// Error model: operations return 0 on success, -2 when a connection or
// record set object cannot be created, -5 when a query matched no record.
// Every other failure raises _com_error from the data-access layer (the
// engine's message as description); E_POINTER when no connection object
// exists yet. Nothing is caught here. Not thread-safe: callers serialise.
#pragma once

#include "LQADO/LQADOExport.h"
#include "LQADO/LQADOField.h"
#include "platform/ado/ado.h"

using ado::_RecordsetPtr;

constexpr long LQADO_OK = 0;
constexpr long LQADO_E_CREATE = -2;
constexpr long LQADO_E_NORECORD = -5;

// Non-zero continues a walk, 0 stops it. The field set lives for one call.
typedef int (*LQADORecordCallback)(void* context, CLQADOField* fields);
typedef int (*LQADOCursorCallback)(void* context, _RecordsetPtr& recordset);

class LQADO_API CLQADODBController
{
public:
    CLQADODBController();
    virtual ~CLQADODBController();
    CLQADODBController(const CLQADODBController&) = delete;
    CLQADODBController& operator=(const CLQADODBController&) = delete;

    int Initialize();
    void UnInitial();

    long ConnectForAccess2000(const char* file, const char* password);
    long ConnectForAccess1997(const char* file, const char* password);
    long ConnectForFoxpro(const char* sourceDB);
    long ConnectForSQLServer(const char* server, const char* catalog, long integratedSecurity,
                             const char* userID, const char* password);

    long BeginTrans();
    long CommitTrans();
    long RollbackTrans();
    int ExeSQL(const char* sql);

    long OpenTable(const char* table, _RecordsetPtr& rs);
    long OpenBySQL(const char* sql, _RecordsetPtr& rs);
    long GetRecorderSet(const char* sql, _RecordsetPtr& rs);
    long GetRecorderSet(const char* sql, LQADORecordCallback callback, void* context);
    long GetRecorderSet(const char* sql, LQADOCursorCallback callback, void* context);
    long GetFirstRecorder(const char* sql, CLQADOField& fields);
    long AddRecorder(const char* table, CLQADOField& fields, int readBack);
    long ModifyRecorder(const char* sql, CLQADOField& fields);
    long RemoveRecorderSet(const char* sql);
    long GetFieldCount(const char* table);
    long GetTableCount();

protected:
    long Connect(const char* connectionString);
    long DisConnect();
    long GetRecorder(_RecordsetPtr& rs, CLQADOField& fields);

private:
    struct ConnectionHolder;
    ConnectionHolder* m_pHolder;
};

// Test hooks: the next `count` connection or record set creations fail;
// the last connection text handed to the data-access layer.
LQADO_API void LQADOFailNextCreations(int count);
LQADO_API const char* LQADOLastConnectionString();
