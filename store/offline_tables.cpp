#include "store/offline_tables.h"

#include "LQADO/LQADOVTData.h"
#include "platform/text.h"

#include <cstdio>

long COfflineTable::GetLong(long index)
{
    const _variant_t* v = GetFieldData(index);
    return v->vt == VT_I4 ? v->lVal : 0;
}

std::string COfflineTable::GetText(long index)
{
    const _variant_t* v = GetFieldData(index);
    if (v->vt != VT_BSTR)
        return kRemarkText;
    return v->bstrVal ? Utf8FromUtf16(std::u16string_view(v->bstrVal, SysStringLen(v->bstrVal)))
                      : std::string();
}

std::string COfflineTable::GetDateText(long index)
{
    const _variant_t* v = GetFieldData(index);
    DATE date = 0;
    if (v->vt == VT_DATE)
    {
        date = v->date;
    }
    else
    {
        VARIANT converted;
        VariantInit(&converted);
        if (FAILED(VariantChangeType(&converted, v, 0, VT_DATE)))
            return {};
        date = converted.date;
        VariantClear(&converted);
    }
    OleDateParts parts{};
    if (!PartsFromOleDate(date, &parts))
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.year, parts.month,
                  parts.day, parts.hour, parts.minute, parts.second);
    return text;
}

const void* COfflineTable::GetBinaryBuf(long index)
{
    return CLQADOVTData::GetBinaryDataBuf(*GetFieldData(index));
}

long COfflineTable::GetBinaryLen(long index)
{
    return CLQADOVTData::GetBinaryDataLen(*GetFieldData(index));
}

void COfflineTable::SetLong(long index, long value)
{
    SetFieldData(index, _variant_t(static_cast<std::int32_t>(value)));
}

void COfflineTable::SetText(long index, std::string_view utf8)
{
    SetFieldData(index, _variant_t(std::u16string_view(Utf16FromUtf8(utf8))));
}

void COfflineTable::SetDate(long index, double oleDate)
{
    SetFieldData(index, _variant_t(oleDate, VT_R8));
}

void COfflineTable::SetNow(long index)
{
    SetDate(index, OleDateNow());
}

void COfflineTable::SetBinary(long index, const void* data, long length)
{
    auto* bytes = static_cast<unsigned char*>(const_cast<void*>(data));
    SetFieldData(index, CLQADOVTData::SetBinaryData(bytes, length));
}

CCommunityTable::CCommunityTable() : COfflineTable(kCommunityTableName, kColumnCount) {}
CCommunityTable::CCommunityTable(CLQADOField* row)
    : COfflineTable(kCommunityTableName, kColumnCount, row)
{
}

CDevelopTable::CDevelopTable() : COfflineTable(kDevelopTableName, kColumnCount) {}
CDevelopTable::CDevelopTable(CLQADOField* row) : COfflineTable(kDevelopTableName, kColumnCount, row)
{
}

CTopicTable::CTopicTable() : COfflineTable(kTopicTableName, kColumnCount) {}
CTopicTable::CTopicTable(CLQADOField* row) : COfflineTable(kTopicTableName, kColumnCount, row) {}

long CTopicTable::RowKey(CLQADOField* row)
{
    const _variant_t* v = row->GetData(kColumnCount);
    return v->vt == VT_I4 ? v->lVal : 0;
}
