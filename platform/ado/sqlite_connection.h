// The connection over one SQLite database file, with a small cache of
// prepared statements shared by the record sets opened on it.
#pragma once

#include "platform/ado/ado.h"
#include "platform/ado/ref_counted.h"

#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ado
{

class SqliteConnection final : public RefCounted<_Connection>
{
public:
    SqliteConnection() = default;
    ~SqliteConnection() override;

    void Open(const _bstr_t& connectionString, const _bstr_t& userID, const _bstr_t& password,
              long options) override;
    long GetState() override;
    void Close() override;
    long BeginTrans() override;
    void CommitTrans() override;
    void RollbackTrans() override;
    _RecordsetPtr Execute(const _bstr_t& commandText, _variant_t* recordsAffected,
                          long options) override;
    _RecordsetPtr OpenSchema(SchemaEnum schema, const _variant_t& restrictions,
                             const _variant_t& schemaID) override;

    // For the record sets. All raise ADO_E_OBJECTCLOSED when closed.
    sqlite3* Handle();
    // A prepared statement for one SQL statement, reset and unbound; null
    // with the engine's code in *rc when it does not prepare (no raise).
    sqlite3_stmt* TryAcquire(const std::string& sql, int* rc);
    // As TryAcquire, raising the engine's error.
    sqlite3_stmt* Acquire(const std::string& sql);
    // Gives a statement back (reset, unbound) for the next user.
    void GiveBack(const std::string& sql, sqlite3_stmt* stmt, std::uint64_t generation);
    // Changes at every open and close; statements of an older generation
    // are finalised instead of cached.
    std::uint64_t Generation() const { return m_generation; }
    // Runs one statement to its end with the engine's error raised.
    void Run(const std::string& sql);

private:
    struct CachedStatement
    {
        std::string sql;
        sqlite3_stmt* stmt;
        std::uint64_t lastUse;
    };
    // A cached statement for exactly this text, taken out of the cache.
    sqlite3_stmt* TakeCached(const std::string& sql);
    bool IsCached(const std::string& sql) const;
    void SyncTransactionLevel();
    void FinalizeCache();

    sqlite3* m_db = nullptr;
    std::vector<CachedStatement> m_cache;
    std::uint64_t m_useClock = 0;
    std::uint64_t m_generation = 0;
    long m_level = 0;
};

} // namespace ado
