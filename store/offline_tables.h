// The three offline tables as table objects addressed by column position,
// with the read-back rules the lists and the importers rely on.
#pragma once

#include "LQADO/LQADOTable.h"

#include <string>
#include <string_view>

inline constexpr const char* kCommunityTableName = "tCommunity";
inline constexpr const char* kDevelopTableName = "tDevelop";
inline constexpr const char* kTopicTableName = "tTopic";

// fRemark of every topic and article row, and of page rows saved without an
// address.
inline constexpr const char* kRemarkText = "(NULL)";

class COfflineTable : public CLQADOTable
{
public:
    using CLQADOTable::CLQADOTable;

    // I4 values as they are; anything else reads as 0.
    long GetLong(long index);
    // BSTR values as UTF-8; anything else reads as "(NULL)".
    std::string GetText(long index);
    // "%Y-%m-%d %H:%M:%S" of an OLE date; empty when not a date.
    std::string GetDateText(long index);
    // Bytes of a byte-array value; null and 0 for anything else.
    const void* GetBinaryBuf(long index);
    long GetBinaryLen(long index);

    void SetLong(long index, long value);
    void SetText(long index, std::string_view utf8);
    // Stored as VT_R8, as the rows have always been written.
    void SetDate(long index, double oleDate);
    void SetNow(long index);
    void SetBinary(long index, const void* data, long length);
};

// Forum topics.
class CCommunityTable : public COfflineTable
{
public:
    enum Column : long
    {
        fID,
        fTitle,
        fPostUserName,
        fPostUserNickName,
        fRank,
        fCredit,
        fRoomID,
        fRoomName,
        fReplyNum,
        fPoint,
        fReadNum,
        fInDate,
        fEndState,
        fContent,
        fRemark,
        kColumnCount
    };
    CCommunityTable();
    // Wraps a row the library delivered (inside a row callback).
    explicit CCommunityTable(CLQADOField* row);
};

// Articles.
class CDevelopTable : public COfflineTable
{
public:
    enum Column : long
    {
        fID,
        fTitle,
        fRoomID,
        fRoomName,
        fInDate,
        fAuthor,
        fContent,
        fRemark,
        kColumnCount
    };
    CDevelopTable();
    explicit CDevelopTable(CLQADOField* row);
};

// Other saved pages. The table has no id column: rows are told apart by
// their key, the row id the database gives them. The store's fetches set
// Key(); the rows of its page lists carry it as one value after the
// table's columns (RowKey).
class CTopicTable : public COfflineTable
{
public:
    enum Column : long
    {
        fTitle,
        fInDate,
        fContent,
        fRemark, // the address the page was saved from ("(NULL)" in older rows)
        kColumnCount
    };
    CTopicTable();
    explicit CTopicTable(CLQADOField* row);

    // 0 until a fetch or a save set it.
    long Key() const { return m_key; }
    void SetKey(long key) { m_key = key; }

    // The key of a row the store's page lists delivered (ListAllTopics);
    // such rows hold kColumnCount + 1 values.
    static long RowKey(CLQADOField* row);

private:
    long m_key = 0;
};
