#include "store/offline_tables.h"

#include "LQADO/LQADOVTData.h"

#include <gtest/gtest.h>

namespace
{

TEST(OfflineTables, carryTheirNamesAndColumnCounts)
{
    CCommunityTable c;
    CDevelopTable d;
    CTopicTable t;
    EXPECT_STREQ(c.GetTableName(), "tCommunity");
    EXPECT_EQ(c.GetCount(), 15);
    EXPECT_STREQ(d.GetTableName(), "tDevelop");
    EXPECT_EQ(d.GetCount(), 8);
    EXPECT_STREQ(t.GetTableName(), "tTopic");
    EXPECT_EQ(t.GetCount(), 4);
    EXPECT_EQ(CCommunityTable::fContent, 13);
    EXPECT_EQ(CDevelopTable::fContent, 6);
    EXPECT_EQ(CTopicTable::fContent, 2);
}

TEST(OfflineTables, readersFollowTheTypeRules)
{
    CCommunityTable t;
    t.SetFieldData(CCommunityTable::fTitle, _variant_t(17));           // not text
    t.SetFieldData(CCommunityTable::fReplyNum, _variant_t("12"));      // not an I4
    t.SetFieldData(CCommunityTable::fReadNum, _variant_t(3.0, VT_R8)); // not an I4
    t.SetFieldData(CCommunityTable::fInDate, _variant_t(45000.75, VT_R8));
    EXPECT_EQ(t.GetText(CCommunityTable::fTitle), "(NULL)");
    EXPECT_EQ(t.GetLong(CCommunityTable::fReplyNum), 0);
    EXPECT_EQ(t.GetLong(CCommunityTable::fReadNum), 0);
    EXPECT_EQ(t.GetDateText(CCommunityTable::fInDate), "2023-03-15 18:00:00");
    t.SetFieldData(CCommunityTable::fInDate, _variant_t(45000.25, VT_DATE));
    EXPECT_EQ(t.GetDateText(CCommunityTable::fInDate), "2023-03-15 06:00:00");
    VARIANT null{};
    null.vt = VT_NULL;
    t.SetFieldData(CCommunityTable::fRemark, _variant_t(null));
    EXPECT_EQ(t.GetDateText(CCommunityTable::fRemark), ""); // NULL is no date
}

TEST(OfflineTables, settersStoreTheTypesRowsAreWrittenWith)
{
    CDevelopTable t;
    t.SetText(CDevelopTable::fTitle, "文档 title");
    t.SetLong(CDevelopTable::fRoomID, 10003);
    t.SetDate(CDevelopTable::fInDate, 45000.5);
    unsigned char bytes[] = {1, 0, 2};
    t.SetBinary(CDevelopTable::fContent, bytes, 3);
    EXPECT_EQ(t.GetFieldData(CDevelopTable::fTitle)->vt, VT_BSTR);
    EXPECT_EQ(t.GetText(CDevelopTable::fTitle), "文档 title");
    EXPECT_EQ(t.GetFieldData(CDevelopTable::fRoomID)->vt, VT_I4);
    EXPECT_EQ(t.GetFieldData(CDevelopTable::fInDate)->vt, VT_R8);
    EXPECT_EQ(t.GetBinaryLen(CDevelopTable::fContent), 3);
    EXPECT_EQ(static_cast<const unsigned char*>(t.GetBinaryBuf(CDevelopTable::fContent))[2], 2);
    EXPECT_EQ(t.GetBinaryBuf(CDevelopTable::fTitle), nullptr);
}

TEST(OfflineTables, wrappingARowCopiesItsValues)
{
    CLQADOField row(CTopicTable::kColumnCount);
    *row.GetData(CTopicTable::fTitle) = _variant_t("page");
    CTopicTable t(&row);
    *row.GetData(CTopicTable::fTitle) = _variant_t("changed");
    EXPECT_EQ(t.GetText(CTopicTable::fTitle), "page");
}

} // namespace
