#include "platform/ado/ado.h"

#include "platform/ado/sqlite_connection.h"
#include "platform/ado/sqlite_recordset.h"

#include <atomic>
#include <new>

namespace ado
{

namespace
{
std::atomic<int> g_failCreations{0};

bool ShouldFail()
{
    int left = g_failCreations.load();
    while (left > 0)
        if (g_failCreations.compare_exchange_weak(left, left - 1))
            return true;
    return false;
}
} // namespace

void FailNextObjectCreations(int count)
{
    g_failCreations = count;
}

HRESULT CreateConnectionObject(_Connection** out)
{
    if (!out)
        return E_POINTER;
    *out = ShouldFail() ? nullptr : new (std::nothrow) SqliteConnection();
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CreateRecordsetObject(_Recordset** out)
{
    if (!out)
        return E_POINTER;
    *out = ShouldFail() ? nullptr : new (std::nothrow) SqliteRecordset();
    return *out ? S_OK : E_OUTOFMEMORY;
}

_variant_t MissingArgument()
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return _variant_t(v);
}

} // namespace ado
