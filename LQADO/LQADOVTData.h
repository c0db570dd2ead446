// Byte buffers in and out of values (VT_ARRAY|VT_UI1, one dimension, lower
// bound 0), for long binary columns.
#pragma once

#include "LQADO/LQADOExport.h"
#include "platform/com_types.h"

class LQADO_API CLQADOVTData
{
public:
    // A value holding a copy of length bytes. Raises _com_error
    // (E_INVALIDARG for a negative length, E_OUTOFMEMORY).
    static _variant_t SetBinaryData(unsigned char* data, long length);
    // The array's data, valid while the value lives unchanged; null when the
    // value is not a byte array.
    static void* GetBinaryDataBuf(_variant_t& value);
    // Element count; 0 when the value is not a byte array.
    static long GetBinaryDataLen(_variant_t& value);
};
