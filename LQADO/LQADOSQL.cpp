#include "LQADO/LQADOSQL.h"

#include <cstdio>

void CLQADOSQL::GetSQL_OpenTable(const char* table, char* out)
{
    std::snprintf(out, LQADO_SQL_BUFFER, "SELECT * FROM %s", table);
}

void CLQADOSQL::GetSQL_GetRecorderByID(const char* table, long id, char* out)
{
    std::snprintf(out, LQADO_SQL_BUFFER, "SELECT * FROM %s WHERE ID=%ld", table, id);
}
