// Direct reads and writes on SQLite files, bypassing the code under test,
// and a scratch database file in a fresh folder, removed afterwards.
#pragma once

#include "tests/support/temp_dir.h"

#include <sqlite3.h>

#include <stdexcept>
#include <string>

// The first column of the first row as text ("" for none).
inline std::string QueryDatabaseFile(const std::string& file, const std::string& sql,
                                     int openFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, openFlags, nullptr);
    sqlite3_stmt* stmt = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0))
        out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

// Runs SQL on the file, creating it when needed; throws with SQLite's message.
inline void RunOnDatabaseFile(const std::string& file, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    std::string text = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error(text);
}

class TestDatabase
{
public:
    const std::string& File() const { return m_file; }
    const std::string& Folder() const { return m_folder.path(); }

    void Run(const std::string& sql) const { RunOnDatabaseFile(m_file, sql); }
    std::string Query(const std::string& sql) const { return QueryDatabaseFile(m_file, sql); }

private:
    TempDir m_folder;
    std::string m_file = m_folder / "test.mdb";
};
