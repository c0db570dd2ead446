// Making the offline database from its schema file, only where none is.
#pragma once

#include <string>

enum class DatabaseCreation
{
    Created,
    AlreadyThere, // left exactly as it was
    Failed,
};

// Creates the database file (and its folder) from the schema text file.
// The file is built beside and put in place only if nothing has appeared
// there meanwhile, so an existing database is never replaced. On failure
// *error says why.
DatabaseCreation CreateDatabaseIfMissing(const std::string& databaseFile,
                                         const std::string& schemaFile, std::string* error);
