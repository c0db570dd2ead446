#include "store/offline_store.h"

#include "LQADO/LQADOSQL.h"
#include "LQADO/LQADOVTData.h"
#include "base/debug_log.h"
#include "base/file_helpers.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace
{
constexpr const char* kUnknownErrorText = "Unkown Error";
constexpr const char* kCommunityPrefix = "Community_OffLineData_";
constexpr const char* kDevelopPrefix = "Develop_OffLineData_";

// Lists and searches fill the report lists, which show a few columns of
// each row. They keep every column's position but read only the shown
// columns and the keys; the rest, above all the saved content, come as NULL,
// so a room of large topics is listed without reading any of them. (fRemark
// lies behind the content: reading it would walk the whole saved file.)
constexpr const char* kCommunityListColumns =
    "fID, fTitle, fPostUserName, NULL AS fPostUserNickName, NULL AS fRank, NULL AS fCredit, "
    "fRoomID, NULL AS fRoomName, fReplyNum, NULL AS fPoint, fReadNum, fInDate, fEndState, "
    "NULL AS fContent, NULL AS fRemark";
constexpr const char* kDevelopListColumns =
    "fID, fTitle, fRoomID, NULL AS fRoomName, fInDate, fAuthor, NULL AS fContent, "
    "NULL AS fRemark";
constexpr const char* kTopicListColumns = "fTitle, fInDate, NULL AS fContent, fRemark";

const char* ListColumns(OfflineTable table)
{
    switch (table)
    {
    case OfflineTable::Community:
        return kCommunityListColumns;
    case OfflineTable::Develop:
        return kDevelopListColumns;
    case OfflineTable::Topic:
        break;
    }
    return kTopicListColumns;
}

// Text inside an SQL string literal: every apostrophe doubled.
std::string Quote(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text)
    {
        if (c == '\'')
            out += '\'';
        out += c;
    }
    return out;
}

bool Fits(const std::string& sql)
{
    return sql.size() < kStoreStatementBytes;
}

void LogComError(const _com_error& e)
{
    WriteDebugLog(DescribeComError(e));
}

std::uint32_t Fnv1a(std::string_view text)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text)
    {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}
} // namespace

const char* OfflineTableName(OfflineTable table)
{
    switch (table)
    {
    case OfflineTable::Community:
        return kCommunityTableName;
    case OfflineTable::Develop:
        return kDevelopTableName;
    case OfflineTable::Topic:
        break;
    }
    return kTopicTableName;
}

COfflineStore::COfflineStore(CLQADODBController& controller, std::string databaseFile,
                             std::string tempFolder)
    : m_controller(controller), m_databaseFile(std::move(databaseFile)),
      m_tempFolder(std::move(tempFolder))
{
}

int COfflineStore::OpenDatabase()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    long rc = kStoreEngineError;
    m_openError.clear();
    try
    {
        // No password: the connection text then carries "(null)".
        rc = m_controller.ConnectForAccess2000(m_databaseFile.c_str(), nullptr);
    }
    catch (const _com_error& e)
    {
        m_openError = DescribeComError(e);
        LogComError(e);
    }
    catch (...)
    {
        m_openError = kUnknownErrorText;
        WriteDebugLog(kUnknownErrorText);
    }
    if (rc != LQADO_OK)
    {
        if (m_openError.empty())
            m_openError =
                "the database library refused the connection (code " + std::to_string(rc) + ")";
        return 0;
    }
    return 1;
}

void COfflineStore::CloseDatabase()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    try
    {
        m_controller.UnInitial();
    }
    catch (const _com_error& e)
    {
        // No connection object (the open failed before one existed): nothing to close.
        if (e.Error() != E_POINTER)
            LogComError(e);
    }
    catch (...)
    {
        WriteDebugLog(kUnknownErrorText);
    }
}

int COfflineStore::InsertRecord(CLQADOTable& table)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    bool begun = false;
    auto rollback = [&]
    {
        if (!begun)
            return;
        try
        {
            m_controller.RollbackTrans();
        }
        catch (const _com_error& e)
        {
            LogComError(e);
        }
        catch (...)
        {
        }
    };
    try
    {
        m_controller.BeginTrans();
        begun = true;
        long rc = m_controller.AddRecorder(table.GetTableName(), table.GetFieldDataRef(), 0);
        if (rc != LQADO_OK)
        {
            rollback();
            WriteDebugLog("InsertRecord: the record set could not be created");
            return 0;
        }
        m_controller.CommitTrans();
        return 1;
    }
    catch (const _com_error& e)
    {
        rollback();
        LogComError(e);
    }
    catch (...)
    {
        rollback();
        WriteDebugLog(kUnknownErrorText);
    }
    return 0;
}

long COfflineStore::ReadFirst(const char* sql, CLQADOTable& table)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    try
    {
        return m_controller.GetFirstRecorder(sql, table.GetFieldDataRef());
    }
    catch (const _com_error& e)
    {
        LogComError(e);
    }
    catch (...)
    {
        WriteDebugLog(kUnknownErrorText);
    }
    return kStoreEngineError;
}

long COfflineStore::GetRecordById(long id, CLQADOTable& table)
{
    char base[kStoreStatementBytes];
    table.GetSQL_OpenTable(base);
    std::string sql = std::string(base) + " WHERE fID=" + std::to_string(id);
    if (!Fits(sql))
        return kStoreRefused;
    return ReadFirst(sql.c_str(), table);
}

long COfflineStore::GetTopicByTitle(const char* title, CLQADOTable& table)
{
    if (!title)
        return kStoreRefused;
    std::string sql = "SELECT * FROM tTopic WHERE fTitle='" + Quote(title) + "'";
    if (!Fits(sql))
        return kStoreRefused;
    return ReadFirst(sql.c_str(), table);
}

int COfflineStore::DeleteRecordById(OfflineTable table, long id)
{
    if (table == OfflineTable::Topic)
        return 0;
    std::string sql =
        std::string("DELETE FROM ") + OfflineTableName(table) + " WHERE fID=" + std::to_string(id);
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    try
    {
        m_controller.ExeSQL(sql.c_str());
        return 1;
    }
    catch (const _com_error& e)
    {
        LogComError(e);
    }
    catch (...)
    {
        WriteDebugLog(kUnknownErrorText);
    }
    return 0;
}

long COfflineStore::Walk(const std::string& sql, LQADORecordCallback callback, void* context)
{
    if (!callback)
        return kStoreRefused;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    try
    {
        return m_controller.GetRecorderSet(sql.c_str(), callback, context);
    }
    catch (const _com_error& e)
    {
        LogComError(e);
    }
    catch (...)
    {
        WriteDebugLog(kUnknownErrorText);
    }
    return kStoreEngineError;
}

long COfflineStore::WalkList(OfflineTable table, const std::string& condition,
                             LQADORecordCallback callback, void* context)
{
    // The limit is that of the plain statement on the whole row; the list's
    // own column names must not make a text that fits it too long.
    char base[kStoreStatementBytes];
    CLQADOSQL::GetSQL_OpenTable(OfflineTableName(table), base);
    if (!Fits(base + condition))
        return kStoreRefused;
    std::string sql = std::string("SELECT ") + ListColumns(table) + " FROM " +
                      OfflineTableName(table) + condition;
    return Walk(sql, callback, context);
}

long COfflineStore::ListRoomRecords(OfflineTable table, long roomId, LQADORecordCallback callback,
                                    void* context)
{
    return WalkList(table, " WHERE fRoomID = " + std::to_string(roomId), callback, context);
}

long COfflineStore::ListAllTopics(LQADORecordCallback callback, void* context)
{
    return WalkList(OfflineTable::Topic, std::string(), callback, context);
}

long COfflineStore::SearchByTitle(OfflineTable table, const char* text,
                                  LQADORecordCallback callback, void* context)
{
    if (!text)
        return kStoreRefused;
    return WalkList(table, " WHERE fTitle LIKE '%" + Quote(text) + "%'", callback, context);
}

int COfflineStore::ExtractContent(CLQADOTable& table, long column, const char* path)
{
    if (!path || !*path)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    _variant_t& value = *table.GetFieldData(column);
    if (value.vt != (VT_ARRAY | VT_UI1))
    {
        // An empty fetch leaves nothing to write; no file is better than a wrong one.
        return 0;
    }
    const void* data = CLQADOVTData::GetBinaryDataBuf(value);
    long length = CLQADOVTData::GetBinaryDataLen(value);
    std::string partial = std::string(path) + ".part";
    long written = WriteWholeFile(partial.c_str(), data, length);
    if (written != length || std::rename(partial.c_str(), path) != 0)
    {
        std::remove(partial.c_str());
        WriteDebugLog((std::string("ExtractContent: cannot write ") + path).c_str());
        return 0;
    }
    return 1;
}

std::string COfflineStore::CommunityDisplayPath(long id) const
{
    std::string path = m_tempFolder + "/" + kCommunityPrefix + std::to_string(id) + ".xml";
    return path.size() <= kMaxPathBytes ? path : std::string();
}

std::string COfflineStore::DevelopDisplayPath(long id) const
{
    std::string path = m_tempFolder + "/" + kDevelopPrefix + std::to_string(id) + ".mht";
    return path.size() <= kMaxPathBytes ? path : std::string();
}

std::string COfflineStore::TopicDisplayPath(std::string_view title) const
{
    const std::string head = m_tempFolder + "/" + kDevelopPrefix;
    const std::string tail = ".mht";
    if (head.size() + tail.size() >= kMaxPathBytes)
        return {};
    size_t budget = kMaxPathBytes - head.size() - tail.size();
    if (budget > 200)
        budget = 200;
    std::string name = SafeFileNameFromTitle(title, budget);
    if (name != title)
    {
        // The name was changed to be safe: tell apart titles that became alike.
        char mark[16];
        std::snprintf(mark, sizeof mark, "~%08x", Fnv1a(title));
        if (budget <= std::strlen(mark))
            return {};
        name = SafeFileNameFromTitle(title, budget - std::strlen(mark)) + mark;
    }
    return head + name + tail;
}
