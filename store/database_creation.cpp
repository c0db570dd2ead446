#include "store/database_creation.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace
{
bool Fail(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
    return false;
}

bool BuildFromSchema(const std::string& path, const std::string& schema, std::string* error)
{
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK)
    {
        std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        return Fail(error, "cannot create " + path + ": " + text);
    }
    // No enclosing transaction: storage pragmas in the schema must run
    // outside one. The file is only put in place once all of it applied.
    const std::string& script = schema;
    char* message = nullptr;
    rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &message);
    if (rc == SQLITE_OK)
        sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    std::string text = message ? message : "";
    sqlite3_free(message);
    int closed = sqlite3_close(db);
    if (rc != SQLITE_OK)
        return Fail(error, "the schema does not apply: " + text);
    if (closed != SQLITE_OK)
        return Fail(error, "cannot finish " + path);
    return true;
}
} // namespace

DatabaseCreation CreateDatabaseIfMissing(const std::string& databaseFile,
                                         const std::string& schemaFile, std::string* error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(databaseFile, ec)))
        return DatabaseCreation::AlreadyThere;

    std::ifstream in(schemaFile, std::ios::binary);
    if (!in)
    {
        Fail(error, "cannot read the schema file " + schemaFile);
        return DatabaseCreation::Failed;
    }
    std::ostringstream schema;
    schema << in.rdbuf();

    fs::path target(databaseFile);
    if (target.has_parent_path())
    {
        fs::create_directories(target.parent_path(), ec);
        if (ec)
        {
            Fail(error,
                 "cannot create the folder " + target.parent_path().string() + ": " + ec.message());
            return DatabaseCreation::Failed;
        }
    }
    std::string building = databaseFile + ".new-" + std::to_string(getpid());
    fs::remove(building, ec);
    if (!BuildFromSchema(building, schema.str(), error))
    {
        fs::remove(building, ec);
        return DatabaseCreation::Failed;
    }
    // link() fails instead of replacing a file that appeared meanwhile.
    if (link(building.c_str(), databaseFile.c_str()) != 0)
    {
        int code = errno;
        fs::remove(building, ec);
        if (code == EEXIST)
            return DatabaseCreation::AlreadyThere;
        Fail(error, "cannot put " + databaseFile + " in place: " + std::strerror(code));
        return DatabaseCreation::Failed;
    }
    fs::remove(building, ec);
    return DatabaseCreation::Created;
}
