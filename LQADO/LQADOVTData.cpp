#include "LQADO/LQADOVTData.h"

#include <cstring>

namespace
{
bool IsByteArray(const _variant_t& value)
{
    return value.vt == (VT_ARRAY | VT_UI1) && value.parray && value.parray->cDims == 1;
}
} // namespace

_variant_t CLQADOVTData::SetBinaryData(unsigned char* data, long length)
{
    if (length < 0 || (length > 0 && !data))
        throw _com_error(E_INVALIDARG, "A byte buffer needs data and a length of at least 0.");
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<std::uint32_t>(length));
    if (!array)
        throw _com_error(E_OUTOFMEMORY);
    if (length > 0)
        std::memcpy(array->pvData, data, static_cast<size_t>(length));
    // The result owns the array outright; no second copy is needed.
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = array;
    _variant_t result;
    result.Attach(v);
    return result;
}

void* CLQADOVTData::GetBinaryDataBuf(_variant_t& value)
{
    return IsByteArray(value) ? value.parray->pvData : nullptr;
}

long CLQADOVTData::GetBinaryDataLen(_variant_t& value)
{
    return IsByteArray(value) ? static_cast<long>(value.parray->rgsabound[0].cElements) : 0;
}
