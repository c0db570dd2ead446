#include "LQADO/LQADOField.h"

CLQADOField::CLQADOField(long count) : m_pData(new _variant_t[count > 0 ? count : 0]) {}

CLQADOField::~CLQADOField()
{
    delete[] m_pData;
}

_variant_t* CLQADOField::GetData(long index)
{
    return &m_pData[index];
}

void CLQADOField::SetData(long index, _variant_t* value)
{
    CopyIntoSlot(m_pData[index], *value);
}

void CLQADOField::CopyIntoSlot(_variant_t& slot, const VARIANT& value)
{
    if (&slot == &value)
        return;
    std::uint16_t marker = slot.wReserved1;
    HRESULT hr = VariantCopy(&slot, &value);
    slot.wReserved1 = marker;
    if (FAILED(hr))
        throw _com_error(hr);
}
