// A field set: a fixed-length array of value slots, one per column. Each
// slot keeps a marker word (wReserved1) that copies into the slot never
// change; the value 1 marks a column the database fills itself.
#pragma once

#include "LQADO/LQADOExport.h"
#include "platform/com_types.h"

constexpr unsigned short LQADO_GENERATED_MARKER = 1;

class LQADO_API CLQADOField
{
public:
    explicit CLQADOField(long count);
    virtual ~CLQADOField();
    CLQADOField(const CLQADOField&) = delete;
    CLQADOField& operator=(const CLQADOField&) = delete;

    // Indexes are not checked: 0 to count-1.
    _variant_t* GetData(long index);
    // Deep copy into the slot; the slot's marker stays. Raises _com_error
    // when the copy fails.
    void SetData(long index, _variant_t* value);

    // The slot copy every setter and the controller use.
    static void CopyIntoSlot(_variant_t& slot, const VARIANT& value);

private:
    _variant_t* m_pData;
};
