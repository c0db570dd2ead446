#include "platform/ado/sqlite_connection.h"

#include "platform/ado/connection_string.h"
#include "platform/ado/sqlite_recordset.h"
#include "platform/ado/sqlite_values.h"
#include "platform/text.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ado
{

namespace
{
constexpr size_t kCacheCapacity = 32;
constexpr int kBusyTimeoutMs = 5000;

bool IsJetProvider(const std::string& provider)
{
    return EqualsIgnoreCaseAscii(provider, "Microsoft.Jet.OLEDB.4.0") ||
           EqualsIgnoreCaseAscii(provider, "Microsoft.Jet.OLEDB.3.51");
}

std::string SavepointName(long level)
{
    return "lqado_level_" + std::to_string(level);
}

[[noreturn]] void RaiseClosed()
{
    throw _com_error(ADO_E_OBJECTCLOSED, "Operation is not allowed when the object is closed.");
}
} // namespace

SqliteConnection::~SqliteConnection()
{
    // Released without Close, as the controller does: the file still closes.
    if (m_db)
    {
        FinalizeCache();
        sqlite3_close_v2(m_db);
    }
}

void SqliteConnection::Open(const _bstr_t& connectionString, const _bstr_t&, const _bstr_t&, long)
{
    if (m_db)
        throw _com_error(ADO_E_OBJECTOPEN, "Operation is not allowed when the object is open.");
    ConnectionString items(connectionString.Utf8());
    std::string provider = items.Get("Provider").value_or("");
    if (!IsJetProvider(provider))
        throw _com_error(ADO_E_PROVIDERNOTFOUND,
                         "Provider cannot be found: \"" + provider +
                             "\" is not available on this system; only the Jet providers "
                             "(Microsoft.Jet.OLEDB.4.0 and 3.51) over local database files are.");
    std::string file = items.Get("Data Source").value_or("");
    if (file.empty())
        throw _com_error(E_FAIL, "The connection text names no Data Source.");
    // The database password has no counterpart in this file format.
    struct stat info
    {
    };
    if (stat(file.c_str(), &info) != 0)
        throw _com_error(E_FAIL, "Could not find file '" + file + "'.");
    if (!S_ISREG(info.st_mode))
        throw _com_error(E_FAIL, "'" + file + "' is not a database file.");
    // The file provider opens for reading and writing or not at all; a file
    // nobody may write would otherwise open and refuse every later save.
    // The mode bits count for root too, who could write regardless.
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(file.c_str(), W_OK) != 0)
        throw _com_error(E_FAIL, "Cannot open '" + file + "': the database file is read-only.");

    sqlite3* db = nullptr;
    // One connection is used by one thread at a time (its callers serialise,
    // as they must for the statement cache too), so the engine's own
    // per-call locking is left out.
    int rc =
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto fail = [&](int code)
    {
        std::string text = EngineErrorText(db, code);
        sqlite3_close_v2(db);
        throw _com_error(E_FAIL, "Cannot open '" + file + "': " + text);
    };
    if (rc != SQLITE_OK)
        fail(rc);
    if (sqlite3_db_readonly(db, "main") == 1)
    {
        sqlite3_close_v2(db);
        throw _com_error(E_FAIL, "Cannot open '" + file + "': the database file is read-only.");
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 0);
    // Reading the schema proves the file is a database before anyone uses it.
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc);
    // WAL keeps readers and the single writer apart and makes a commit one
    // append; FULL syncs that append before the commit returns, so a save
    // that was reported survives a power cut too (NORMAL would only keep the
    // file whole, losing the last commits).
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    m_db = db;
    m_level = 0;
    ++m_generation;
}

long SqliteConnection::GetState()
{
    return m_db ? adStateOpen : adStateClosed;
}

void SqliteConnection::Close()
{
    if (!m_db)
        RaiseClosed();
    FinalizeCache();
    // Record sets still open keep the handle alive until they finish.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_level = 0;
    ++m_generation;
}

sqlite3* SqliteConnection::Handle()
{
    if (!m_db)
        RaiseClosed();
    return m_db;
}

void SqliteConnection::FinalizeCache()
{
    for (auto& entry : m_cache)
        sqlite3_finalize(entry.stmt);
    m_cache.clear();
}

sqlite3_stmt* SqliteConnection::TryAcquire(const std::string& sql, int* rc)
{
    sqlite3* db = Handle();
    *rc = SQLITE_OK;
    if (sqlite3_stmt* cached = TakeCached(sql))
        return cached;
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    *rc = sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()) + 1,
                             SQLITE_PREPARE_PERSISTENT, &stmt, &tail);
    if (*rc != SQLITE_OK)
    {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    if (!stmt)
    {
        // Only blanks or comments: nothing to run.
        *rc = SQLITE_MISUSE;
        return nullptr;
    }
    return stmt;
}

sqlite3_stmt* SqliteConnection::Acquire(const std::string& sql)
{
    int rc = SQLITE_OK;
    sqlite3_stmt* stmt = TryAcquire(sql, &rc);
    if (!stmt)
    {
        if (rc == SQLITE_MISUSE)
            throw _com_error(E_FAIL, "The command text holds no statement.");
        RaiseEngineError(m_db, rc);
    }
    return stmt;
}

void SqliteConnection::GiveBack(const std::string& sql, sqlite3_stmt* stmt,
                                std::uint64_t generation)
{
    if (!stmt)
        return;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (!m_db || generation != m_generation)
    {
        sqlite3_finalize(stmt);
        return;
    }
    if (m_cache.size() >= kCacheCapacity)
    {
        size_t oldest = 0;
        for (size_t i = 1; i < m_cache.size(); ++i)
            if (m_cache[i].lastUse < m_cache[oldest].lastUse)
                oldest = i;
        sqlite3_finalize(m_cache[oldest].stmt);
        m_cache[oldest] = std::move(m_cache.back());
        m_cache.pop_back();
    }
    m_cache.push_back({sql, stmt, ++m_useClock});
}

void SqliteConnection::Run(const std::string& sql)
{
    sqlite3_stmt* stmt = Acquire(sql);
    std::uint64_t generation = m_generation;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
    {
    }
    if (rc != SQLITE_DONE)
    {
        // The message belongs to this statement; read it before the reset.
        std::string text = EngineErrorText(m_db, rc);
        GiveBack(sql, stmt, generation);
        throw _com_error(rc == SQLITE_NOMEM ? E_OUTOFMEMORY : E_FAIL, text);
    }
    GiveBack(sql, stmt, generation);
}

void SqliteConnection::SyncTransactionLevel()
{
    // The engine ends a transaction by itself after some errors (a full
    // disk, an interrupted write); the level must follow it.
    if (m_level > 0 && sqlite3_get_autocommit(Handle()))
        m_level = 0;
}

long SqliteConnection::BeginTrans()
{
    SyncTransactionLevel();
    if (m_level == 0)
        Run("BEGIN IMMEDIATE");
    else
        Run("SAVEPOINT " + SavepointName(m_level + 1));
    return ++m_level;
}

void SqliteConnection::CommitTrans()
{
    SyncTransactionLevel();
    if (m_level <= 1)
        Run("COMMIT"); // at level 0 the engine answers "no transaction is active"
    else
        Run("RELEASE " + SavepointName(m_level));
    --m_level;
}

void SqliteConnection::RollbackTrans()
{
    Handle();
    if (m_level > 0 && sqlite3_get_autocommit(m_db))
    {
        // Already undone by the engine.
        m_level = 0;
        return;
    }
    if (m_level <= 1)
    {
        Run("ROLLBACK");
    }
    else
    {
        Run("ROLLBACK TO " + SavepointName(m_level));
        Run("RELEASE " + SavepointName(m_level));
    }
    --m_level;
}

sqlite3_stmt* SqliteConnection::TakeCached(const std::string& sql)
{
    for (size_t i = 0; i < m_cache.size(); ++i)
    {
        if (m_cache[i].sql == sql)
        {
            sqlite3_stmt* stmt = m_cache[i].stmt;
            m_cache[i] = std::move(m_cache.back());
            m_cache.pop_back();
            return stmt;
        }
    }
    return nullptr;
}

bool SqliteConnection::IsCached(const std::string& sql) const
{
    for (const auto& entry : m_cache)
        if (entry.sql == sql)
            return true;
    return false;
}

_RecordsetPtr SqliteConnection::Execute(const _bstr_t& commandText, _variant_t* recordsAffected,
                                        long)
{
    sqlite3* db = Handle();
    const std::string text = commandText.Utf8();
    long changes = 0;
    if (IsCached(text))
    {
        Run(text);
        changes = sqlite3_changes(db);
    }
    else
    {
        // A script runs statement by statement; a text that is one statement
        // alone is kept for the next time.
        const char* rest = text.c_str();
        while (*rest)
        {
            sqlite3_stmt* stmt = nullptr;
            const char* tail = nullptr;
            int rc = sqlite3_prepare_v2(db, rest, -1, &stmt, &tail);
            if (rc != SQLITE_OK)
            {
                sqlite3_finalize(stmt);
                RaiseEngineError(db, rc);
            }
            if (!stmt) // blanks or comments
            {
                rest = tail;
                continue;
            }
            bool whole = rest == text.c_str() && std::string_view(tail).find_first_not_of(
                                                     " \t\r\n;") == std::string_view::npos;
            while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            {
            }
            if (rc != SQLITE_DONE)
            {
                std::string message = EngineErrorText(db, rc);
                sqlite3_finalize(stmt);
                throw _com_error(rc == SQLITE_NOMEM ? E_OUTOFMEMORY : E_FAIL, message);
            }
            changes += sqlite3_changes(db);
            if (whole)
            {
                GiveBack(text, stmt, m_generation);
                break;
            }
            sqlite3_finalize(stmt);
            rest = tail;
        }
    }
    if (recordsAffected)
        *recordsAffected = _variant_t(static_cast<std::int32_t>(changes));
    return _RecordsetPtr();
}

_RecordsetPtr SqliteConnection::OpenSchema(SchemaEnum schema, const _variant_t&, const _variant_t&)
{
    Handle();
    if (schema != adSchemaTables)
        throw _com_error(ADO_E_FEATURENOTAVAILABLE,
                         "Object or provider is not capable of performing requested operation.");
    static const char* const kTables =
        "SELECT NULL AS TABLE_CATALOG, NULL AS TABLE_SCHEMA, name AS TABLE_NAME, "
        "CASE WHEN type = 'view' THEN 'VIEW' "
        "WHEN name LIKE 'sqlite!_%' ESCAPE '!' THEN 'SYSTEM TABLE' "
        "ELSE 'TABLE' END AS TABLE_TYPE, NULL AS DESCRIPTION "
        "FROM sqlite_master WHERE type IN ('table', 'view') "
        "UNION ALL SELECT NULL, NULL, 'sqlite_master', 'SYSTEM TABLE', NULL "
        "ORDER BY TABLE_NAME";
    auto* rs = new SqliteRecordset();
    _RecordsetPtr result(rs, false);
    rs->OpenReadOnly(kTables, this);
    return result;
}

} // namespace ado
