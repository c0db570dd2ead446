#include "LQADO/LQADO.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{

TEST(BinaryData, emptyBuffer_givesByteArrayOfLengthZero)
{
    _variant_t v = CLQADOVTData::SetBinaryData(nullptr, 0);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(CLQADOVTData::GetBinaryDataLen(v), 0);
}

TEST(BinaryData, bytesComeBackEqualInADistinctBuffer)
{
    std::vector<unsigned char> source = {0, 1, 2, 255, 0, 7};
    _variant_t v = CLQADOVTData::SetBinaryData(source.data(), static_cast<long>(source.size()));
    ASSERT_EQ(CLQADOVTData::GetBinaryDataLen(v), 6);
    void* buf = CLQADOVTData::GetBinaryDataBuf(v);
    EXPECT_NE(buf, source.data());
    EXPECT_EQ(0, std::memcmp(buf, source.data(), source.size()));
    source[0] = 99;
    EXPECT_EQ(static_cast<unsigned char*>(buf)[0], 0);
}

TEST(BinaryData, readersOfNonArrays_giveNothingInsteadOfCrashing)
{
    _variant_t text("abc");
    _variant_t empty;
    EXPECT_EQ(CLQADOVTData::GetBinaryDataBuf(text), nullptr);
    EXPECT_EQ(CLQADOVTData::GetBinaryDataLen(empty), 0);
    EXPECT_THROW(CLQADOVTData::SetBinaryData(nullptr, -1), _com_error);
}

TEST(TableSlots, setFieldData_copiesSoCallerChangesDoNotReachTheSlot)
{
    CLQADOTable table("tTopic", 4);
    _variant_t value("first");
    table.SetFieldData(2, value);
    EXPECT_TRUE(*table.GetFieldData(2) == value);
    value = _variant_t("second");
    EXPECT_EQ(table.GetFieldData(2)->ToUtf8(), "first");
}

TEST(TableSlots, markerSurvivesEveryKindOfCopyIntoTheSlot)
{
    CLQADOTable table("t", 3);
    table.GetFieldData(1)->wReserved1 = LQADO_GENERATED_MARKER;
    _variant_t withOtherMarker(5);
    withOtherMarker.wReserved1 = 0;
    table.SetFieldData(1, withOtherMarker);
    EXPECT_EQ(table.GetFieldData(1)->wReserved1, LQADO_GENERATED_MARKER);
    EXPECT_EQ(table.GetFieldData(1)->lVal, 5);
    unsigned char bytes[] = {1, 2};
    _variant_t binary = CLQADOVTData::SetBinaryData(bytes, 2);
    table.GetFieldDataRef().SetData(1, &binary);
    EXPECT_EQ(table.GetFieldData(1)->wReserved1, LQADO_GENERATED_MARKER);
    EXPECT_EQ(table.GetFieldData(1)->vt, VT_ARRAY | VT_UI1);
    _variant_t text("x");
    table.GetFieldDataPtr()->SetData(1, &text);
    EXPECT_EQ(table.GetFieldData(1)->wReserved1, LQADO_GENERATED_MARKER);
    EXPECT_EQ(table.GetFieldData(1)->ToUtf8(), "x");
}

TEST(TableSlots, copyingConstructor_givesFreshSlotsWithMarkerZero)
{
    CLQADOField source(2);
    *source.GetData(0) = _variant_t(17);
    *source.GetData(1) = _variant_t("t");
    source.GetData(0)->wReserved1 = LQADO_GENERATED_MARKER;
    source.GetData(1)->wReserved1 = LQADO_GENERATED_MARKER;
    CLQADOTable copy("t", 2, &source);
    EXPECT_EQ(copy.GetFieldData(0)->lVal, 17);
    EXPECT_EQ(copy.GetFieldData(0)->wReserved1, 0);
    EXPECT_EQ(copy.GetFieldData(1)->wReserved1, 0);
    EXPECT_NE(copy.GetFieldData(1)->bstrVal, source.GetData(1)->bstrVal);
    EXPECT_EQ(copy.GetCount(), 2);
    EXPECT_STREQ(copy.GetTableName(), "t");
}

TEST(TableSlots, newSlotsStartEmptyWithMarkerZero)
{
    CLQADOField fields(3);
    for (long i = 0; i < 3; ++i)
    {
        EXPECT_EQ(fields.GetData(i)->vt, VT_EMPTY);
        EXPECT_EQ(fields.GetData(i)->wReserved1, 0);
    }
}

TEST(TableName, overlongName_isCutTo255Bytes)
{
    std::string name(400, 'n');
    CLQADOTable table(name.c_str(), 1);
    EXPECT_EQ(std::strlen(table.GetTableName()), 255u);
}

TEST(SqlTexts, areWrittenExactly)
{
    char out[1024];
    CLQADOSQL::GetSQL_GetRecorderByID("tCommunity", 17, out);
    EXPECT_STREQ(out, "SELECT * FROM tCommunity WHERE ID=17");
    CLQADOSQL::GetSQL_OpenTable("tTopic", out);
    EXPECT_STREQ(out, "SELECT * FROM tTopic");
    CLQADOTable table("tDevelop", 8);
    table.GetSQL_OpenTable(out);
    EXPECT_STREQ(out, "SELECT * FROM tDevelop");
}

} // namespace
