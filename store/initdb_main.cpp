// MyZELK-initdb SCHEMA DATABASE: creates the offline database from the
// schema when it is missing; an existing database is left untouched.
#include "store/database_creation.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s SCHEMA.sql DATABASE-FILE\n", argv[0]);
        return 2;
    }
    std::string error;
    switch (CreateDatabaseIfMissing(argv[2], argv[1], &error))
    {
    case DatabaseCreation::Created:
        std::printf("created %s\n", argv[2]);
        return 0;
    case DatabaseCreation::AlreadyThere:
        return 0;
    case DatabaseCreation::Failed:
        break;
    }
    std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
    return 1;
}
