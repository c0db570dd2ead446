// The two SQL texts callers need. Output buffers hold at least 1024 bytes;
// longer texts are cut there.
#pragma once

#include "LQADO/LQADOExport.h"

constexpr unsigned long LQADO_SQL_BUFFER = 1024;

class LQADO_API CLQADOSQL
{
public:
    // "SELECT * FROM <table>"
    static void GetSQL_OpenTable(const char* table, char* out);
    // "SELECT * FROM <table> WHERE ID=<id>"
    static void GetSQL_GetRecorderByID(const char* table, long id, char* out);
};
