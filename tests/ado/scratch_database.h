// A scratch SQLite database file in a fresh folder, removed afterwards.
#pragma once

#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

class TestDatabase
{
public:
    TestDatabase()
    {
        char pattern[] = "/tmp/lqado-test-XXXXXX";
        if (!mkdtemp(pattern))
            throw std::runtime_error("mkdtemp");
        m_folder = pattern;
        m_file = m_folder + "/test.mdb";
    }
    ~TestDatabase()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }
    const std::string& File() const { return m_file; }
    const std::string& Folder() const { return m_folder; }

    // Runs SQL on the file directly, creating it when needed.
    void Run(const std::string& sql) const
    {
        sqlite3* db = nullptr;
        sqlite3_open(m_file.c_str(), &db);
        char* error = nullptr;
        int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
        std::string text = error ? error : "";
        sqlite3_free(error);
        sqlite3_close(db);
        if (rc != SQLITE_OK)
            throw std::runtime_error(text);
    }
    // The first column of the first row as text ("" for none).
    std::string Query(const std::string& sql) const
    {
        sqlite3* db = nullptr;
        sqlite3_open(m_file.c_str(), &db);
        sqlite3_stmt* stmt = nullptr;
        std::string out;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0))
            out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return out;
    }

private:
    std::string m_folder;
    std::string m_file;
};
