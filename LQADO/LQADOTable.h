// A table description: name, column count and the field set that serves as
// its current record buffer.
#pragma once

#include "LQADO/LQADOExport.h"
#include "LQADO/LQADOField.h"

class LQADO_API CLQADOTable
{
public:
    // Names longer than 255 bytes are cut to 255.
    CLQADOTable(const char* name, long count);
    // Deep-copies slots 0..count-1 of source (new slots keep marker 0).
    CLQADOTable(const char* name, long count, CLQADOField* source);
    virtual ~CLQADOTable();
    CLQADOTable(const CLQADOTable&) = delete;
    CLQADOTable& operator=(const CLQADOTable&) = delete;

    long GetCount();
    const char* GetTableName();
    _variant_t* GetFieldData(long index);
    void SetFieldData(long index, _variant_t value);
    CLQADOField& GetFieldDataRef();
    CLQADOField* GetFieldDataPtr();
    // "SELECT * FROM <name>" into a buffer of at least 1024 bytes.
    void GetSQL_OpenTable(char* out);

private:
    char m_szTableName[256];
    long m_nFieldCount;
    CLQADOField* m_pField;
};
