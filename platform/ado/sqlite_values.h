// Moving values between VARIANTs and SQLite statements, and the type codes
// columns report.
#pragma once

#include "platform/ado/ado.h"

#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace ado
{

// From the declared column type; adEmpty when nothing is declared.
DataTypeEnum TypeFromDeclaration(const char* declaredType);
// From the storage class of a current value (for expression columns).
DataTypeEnum TypeFromStorage(int storageClass);

// The column's current value. Integers outside 32 bits come back as VT_R8;
// numbers in a date column as VT_DATE.
_variant_t ReadColumn(sqlite3_stmt* stmt, int column, DataTypeEnum declared);

// Raises DISP_E_TYPEMISMATCH for values a column cannot hold.
void CheckStorable(const VARIANT& value);
// Binds without copying: value must outlive the statement's step.
int BindValue(sqlite3_stmt* stmt, int parameter, const VARIANT& value);

// The engine's message for the last failure on this connection; for a failed
// read, write or open it adds the system's reason ("No space left on
// device").
std::string EngineErrorText(sqlite3* db, int rc);

// Raises _com_error(E_FAIL) with EngineErrorText.
[[noreturn]] void RaiseEngineError(sqlite3* db, int rc);

} // namespace ado
