#include "LQADO/LQADOTable.h"

#include "LQADO/LQADOSQL.h"

#include <cstdio>

CLQADOTable::CLQADOTable(const char* name, long count)
    : m_nFieldCount(count), m_pField(new CLQADOField(count))
{
    std::snprintf(m_szTableName, sizeof m_szTableName, "%s", name ? name : "");
}

CLQADOTable::CLQADOTable(const char* name, long count, CLQADOField* source)
    : CLQADOTable(name, count)
{
    for (long i = 0; i < count; ++i)
        CLQADOField::CopyIntoSlot(*m_pField->GetData(i), *source->GetData(i));
}

CLQADOTable::~CLQADOTable()
{
    delete m_pField;
}

long CLQADOTable::GetCount()
{
    return m_nFieldCount;
}

const char* CLQADOTable::GetTableName()
{
    return m_szTableName;
}

_variant_t* CLQADOTable::GetFieldData(long index)
{
    return m_pField->GetData(index);
}

void CLQADOTable::SetFieldData(long index, _variant_t value)
{
    CLQADOField::CopyIntoSlot(*m_pField->GetData(index), value);
    value.Clear();
}

CLQADOField& CLQADOTable::GetFieldDataRef()
{
    return *m_pField;
}

CLQADOField* CLQADOTable::GetFieldDataPtr()
{
    return m_pField;
}

void CLQADOTable::GetSQL_OpenTable(char* out)
{
    CLQADOSQL::GetSQL_OpenTable(m_szTableName, out);
}
