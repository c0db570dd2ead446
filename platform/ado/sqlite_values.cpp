#include "platform/ado/sqlite_values.h"

#include <sqlite3.h>

#include <cstring>
#include <string>

namespace ado
{

namespace
{
bool Contains(const std::string& upper, const char* word)
{
    return upper.find(word) != std::string::npos;
}
} // namespace

DataTypeEnum TypeFromDeclaration(const char* declaredType)
{
    if (!declaredType || !*declaredType)
        return adEmpty;
    std::string upper(declaredType);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    if (Contains(upper, "BLOB") || Contains(upper, "BINARY") || Contains(upper, "IMAGE"))
        return adLongVarBinary;
    if (Contains(upper, "DATE") || Contains(upper, "TIME"))
        return adDate;
    if (Contains(upper, "BIGINT"))
        return adBigInt;
    if (Contains(upper, "INT"))
        return adInteger;
    if (Contains(upper, "MEMO") || Contains(upper, "CLOB"))
        return adLongVarWChar;
    if (Contains(upper, "CHAR") || Contains(upper, "TEXT"))
        return adVarWChar;
    if (Contains(upper, "REAL") || Contains(upper, "FLOA") || Contains(upper, "DOUB") ||
        Contains(upper, "NUM") || Contains(upper, "DEC"))
        return adDouble;
    return adVarWChar;
}

DataTypeEnum TypeFromStorage(int storageClass)
{
    switch (storageClass)
    {
    case SQLITE_INTEGER:
        return adInteger;
    case SQLITE_FLOAT:
        return adDouble;
    case SQLITE_TEXT:
        return adVarWChar;
    case SQLITE_BLOB:
        return adLongVarBinary;
    default:
        return adEmpty;
    }
}

_variant_t ReadColumn(sqlite3_stmt* stmt, int column, DataTypeEnum declared)
{
    // One lookup of the column, then the cheap value accessors.
    sqlite3_value* value = sqlite3_column_value(stmt, column);
    _variant_t out;
    switch (sqlite3_value_type(value))
    {
    case SQLITE_NULL:
        out.vt = VT_NULL;
        break;
    case SQLITE_INTEGER:
    {
        sqlite3_int64 v = sqlite3_value_int64(value);
        if (declared == adDate)
        {
            out.vt = VT_DATE;
            out.date = static_cast<double>(v);
        }
        else if (v >= INT32_MIN && v <= INT32_MAX)
        {
            out.vt = VT_I4;
            out.lVal = static_cast<std::int32_t>(v);
        }
        else
        {
            out.vt = VT_R8;
            out.dblVal = static_cast<double>(v);
        }
        break;
    }
    case SQLITE_FLOAT:
        out.vt = declared == adDate ? VT_DATE : VT_R8;
        out.dblVal = sqlite3_value_double(value);
        break;
    case SQLITE_TEXT:
    {
        // ASCII text widens in place; anything else goes through the
        // engine's own UTF-16 conversion.
        const unsigned char* narrow = sqlite3_value_text(value);
        int length = sqlite3_value_bytes(value);
        bool ascii = true;
        for (int i = 0; i < length && ascii; ++i)
            ascii = narrow[i] < 0x80;
        BSTR b;
        if (ascii)
        {
            b = SysAllocStringLen(nullptr, static_cast<std::uint32_t>(length));
            if (b)
                for (int i = 0; i < length; ++i)
                    b[i] = narrow[i];
        }
        else
        {
            auto* text = static_cast<const OLECHAR*>(sqlite3_value_text16(value));
            int bytes = sqlite3_value_bytes16(value);
            b = SysAllocStringLen(text, static_cast<std::uint32_t>(bytes / 2));
        }
        if (!b)
            _com_issue_error(E_OUTOFMEMORY);
        out.vt = VT_BSTR;
        out.bstrVal = b;
        break;
    }
    case SQLITE_BLOB:
    {
        const void* data = sqlite3_value_blob(value);
        int bytes = sqlite3_value_bytes(value);
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<std::uint32_t>(bytes));
        if (!array)
            _com_issue_error(E_OUTOFMEMORY);
        if (bytes > 0)
            std::memcpy(array->pvData, data, static_cast<size_t>(bytes));
        out.vt = VT_ARRAY | VT_UI1;
        out.parray = array;
        break;
    }
    }
    return out;
}

void CheckStorable(const VARIANT& v)
{
    switch (v.vt)
    {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_DATE:
    case VT_BSTR:
    case VT_BOOL:
    case VT_UI1:
        return;
    case VT_ARRAY | VT_UI1:
        if (v.parray && v.parray->cDims == 1)
            return;
        break;
    default:
        break;
    }
    throw _com_error(DISP_E_TYPEMISMATCH, "The value's type cannot be stored in a column");
}

int BindValue(sqlite3_stmt* stmt, int p, const VARIANT& v)
{
    switch (v.vt)
    {
    case VT_EMPTY:
    case VT_NULL:
        return sqlite3_bind_null(stmt, p);
    case VT_I2:
        return sqlite3_bind_int(stmt, p, v.iVal);
    case VT_I4:
        return sqlite3_bind_int(stmt, p, v.lVal);
    case VT_BOOL:
        return sqlite3_bind_int(stmt, p, v.boolVal ? -1 : 0);
    case VT_UI1:
        return sqlite3_bind_int(stmt, p, v.bVal);
    case VT_R4:
        return sqlite3_bind_double(stmt, p, v.fltVal);
    case VT_R8:
        return sqlite3_bind_double(stmt, p, v.dblVal);
    case VT_DATE:
        return sqlite3_bind_double(stmt, p, v.date);
    case VT_BSTR:
        if (!v.bstrVal)
            return sqlite3_bind_text16(stmt, p, u"", 0, SQLITE_STATIC);
        return sqlite3_bind_text16(stmt, p, v.bstrVal,
                                   static_cast<int>(SysStringLen(v.bstrVal) * 2), SQLITE_STATIC);
    case VT_ARRAY | VT_UI1:
    {
        const SAFEARRAY* a = v.parray;
        std::uint32_t n = a->rgsabound[0].cElements;
        if (n > static_cast<std::uint32_t>(INT32_MAX))
            return SQLITE_TOOBIG;
        // A zero-length blob, not NULL: the value exists and is empty.
        return sqlite3_bind_blob(stmt, p, n ? a->pvData : "", static_cast<int>(n), SQLITE_STATIC);
    }
    default:
        return SQLITE_MISMATCH;
    }
}

std::string EngineErrorText(sqlite3* db, int rc)
{
    if (!db)
        return sqlite3_errstr(rc);
    std::string text = sqlite3_errmsg(db);
    // "disk I/O error" alone does not tell a full disk from a bad one.
    const int primary = sqlite3_errcode(db) & 0xFF;
    if (primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN)
        if (const int code = sqlite3_system_errno(db); code != 0)
            text += std::string(" (") + std::strerror(code) + ")";
    return text;
}

void RaiseEngineError(sqlite3* db, int rc)
{
    std::string text = EngineErrorText(db, rc);
    if (rc == SQLITE_NOMEM)
        throw _com_error(E_OUTOFMEMORY, text);
    throw _com_error(E_FAIL, text);
}

} // namespace ado
