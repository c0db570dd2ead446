#include "store/offline_store.h"

#include "LQADO/LQADOSQL.h"
#include "LQADO/LQADOVTData.h"
#include "base/debug_log.h"
#include "base/file_helpers.h"
#include "store/display_copy.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
constexpr const char* kTopicListColumns =
    "fTitle, fInDate, NULL AS fContent, fRemark, rowid AS fKey";

// What a list statement selects: the columns above that are not NULL, and
// the place of each in the rows the callbacks get. The NULL ones
// are set by CListRows, so the engine neither produces nor hands over most
// of a list row's columns.
struct ListLayout
{
    std::string select;          // "fID, fTitle, ..."
    std::vector<long> positions; // of each selected column in the row
    long columns = 0;            // in the row
};

ListLayout MakeListLayout(std::string_view spec)
{
    ListLayout layout;
    while (!spec.empty())
    {
        const size_t comma = spec.find(',');
        std::string_view item = spec.substr(0, comma);
        item.remove_prefix(std::min(item.find_first_not_of(' '), item.size()));
        if (!item.starts_with("NULL AS "))
        {
            layout.select += layout.select.empty() ? "" : ", ";
            layout.select += item;
            layout.positions.push_back(layout.columns);
        }
        ++layout.columns;
        spec = comma == std::string_view::npos ? std::string_view() : spec.substr(comma + 1);
    }
    return layout;
}

const ListLayout& LayoutOf(OfflineTable table)
{
    static const ListLayout community = MakeListLayout(kCommunityListColumns);
    static const ListLayout develop = MakeListLayout(kDevelopListColumns);
    static const ListLayout topic = MakeListLayout(kTopicListColumns);
    switch (table)
    {
    case OfflineTable::Community:
        return community;
    case OfflineTable::Develop:
        return develop;
    case OfflineTable::Topic:
        break;
    }
    return topic;
}

// Hands the rows of a list statement to a row callback as the controller's
// own row walk would hand those of the statement with the NULL columns in
// (one field set, fresh slots for every row, values moved in), asking the
// engine only for the selected columns.
class CListRows
{
public:
    CListRows(const ListLayout& layout, LQADORecordCallback callback, void* context)
        : m_layout(layout), m_callback(callback), m_context(context)
    {
    }

    static int OnRecord(void* self, _RecordsetPtr& rs)
    {
        return static_cast<CListRows*>(self)->Record(rs);
    }

private:
    int Record(_RecordsetPtr& rs)
    {
        if (!m_row)
            Prepare(rs);
        long next = 0; // the next selected column's place in m_fields
        for (long i = 0; i < m_columns; ++i)
        {
            _variant_t& slot = *m_row->GetData(i);
            slot.wReserved1 = 0;
            if (next >= static_cast<long>(m_places.size()) || m_places[next] != i)
            {
                if (slot.vt != VT_NULL)
                {
                    slot.Clear();
                    slot.vt = VT_NULL;
                }
                continue;
            }
            const ado::FieldPtr& field = m_fields[static_cast<size_t>(next)];
            _variant_t value =
                m_binary[static_cast<size_t>(next)] && field->GetType() == ado::adLongVarBinary
                    ? field->GetChunk(field->GetActualSize())
                    : field->GetValue();
            ++next;
            if (slot.vt != VT_EMPTY)
                slot.Clear();
            std::memcpy(static_cast<VARIANT*>(&slot), static_cast<VARIANT*>(&value),
                        sizeof(VARIANT));
            value.vt = VT_EMPTY; // moved into the slot
            slot.wReserved1 = 0;
        }
        return m_callback(m_context, m_row.get());
    }

    void Prepare(_RecordsetPtr& rs)
    {
        ado::FieldsPtr all = rs->GetFields();
        const long n = all->GetCount();
        m_columns = m_layout.columns;
        m_places = m_layout.positions;
        if (static_cast<size_t>(n) != m_places.size())
        {
            // Not the list's own statement: its columns as they come.
            m_columns = n;
            m_places.clear();
            for (long i = 0; i < n; ++i)
                m_places.push_back(i);
        }
        for (long i = 0; i < n; ++i)
        {
            ado::FieldPtr field = all->GetItem(_variant_t(static_cast<std::int32_t>(i)));
            // The type is asked once: a column that is not binary in the
            // first row is a typed column that never is, or an expression,
            // whose binary values read the same either way.
            m_binary.push_back(field->GetType() == ado::adLongVarBinary);
            m_fields.push_back(std::move(field));
        }
        m_row = std::make_unique<CLQADOField>(m_columns);
    }

    const ListLayout& m_layout;
    LQADORecordCallback m_callback;
    void* m_context;
    long m_columns = 0;
    std::vector<long> m_places;
    std::vector<ado::FieldPtr> m_fields;
    std::vector<bool> m_binary;
    std::unique_ptr<CLQADOField> m_row;
};

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

// Text inside a LIKE pattern: its own "%", "_" and the escape character
// match themselves.
constexpr char kLikeEscape = '\\';
std::string LikeLiteral(std::string_view text)
{
    std::string out;
    for (char c : text)
    {
        if (c == '%' || c == '_' || c == kLikeEscape)
            out += kLikeEscape;
        out += c;
    }
    return out;
}

// What a failure says to the user: the engine's own words.
std::string ReasonOf(const _com_error& e)
{
    const char* text = e.DescriptionText();
    return text && *text ? text : e.ErrorMessage();
}

// Where a row of each table is found by its key.
std::string KeyCondition(OfflineTable table, long key)
{
    return (table == OfflineTable::Topic ? " WHERE rowid=" : " WHERE fID=") + std::to_string(key);
}

bool Fits(const std::string& sql)
{
    return sql.size() < kStoreStatementBytes;
}

void LogComError(const _com_error& e)
{
    WriteDebugLog(DescribeComError(e));
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

StoreOutcome COfflineStore::SaveRecord(COfflineTable& table, std::string* reason)
{
    const std::string name = table.GetTableName();
    const bool isPage = name == kTopicTableName;
    auto* page = dynamic_cast<CTopicTable*>(&table);
    // The row this one replaces: same id, or a page saved from the same address.
    std::string sameItem;
    if (!isPage)
        sameItem = " WHERE fID=" + std::to_string(table.GetLong(0));
    else if (const std::string address = table.GetText(CTopicTable::fRemark);
             address != kRemarkText)
        sameItem = " WHERE fRemark='" + Quote(address) + "'";

    std::lock_guard<std::recursive_mutex> lock(m_lock);
    bool begun = false;
    auto fail = [&](const std::string& why)
    {
        if (begun)
        {
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
        }
        if (reason)
            *reason = why;
        return StoreOutcome::Failed;
    };
    try
    {
        m_controller.BeginTrans();
        begun = true;
        long key = 0;
        long found = LQADO_E_NORECORD;
        if (!sameItem.empty())
            found =
                ReadNumber("SELECT rowid FROM " + name + sameItem + " ORDER BY rowid LIMIT 1", key);
        long rc = found;
        if (found == LQADO_OK)
        {
            // In place: the row keeps its key and its place in the lists.
            const std::string sql = "SELECT * FROM " + name + " WHERE rowid=" + std::to_string(key);
            rc = m_controller.ModifyRecorder(sql.c_str(), table.GetFieldDataRef());
        }
        else if (found == LQADO_E_NORECORD)
        {
            rc = m_controller.AddRecorder(name.c_str(), table.GetFieldDataRef(), 0);
            if (rc == LQADO_OK && isPage)
                rc = ReadNumber("SELECT last_insert_rowid()", key);
        }
        if (rc != LQADO_OK)
        {
            WriteDebugLog("SaveRecord: the record set could not be created");
            return fail("the database library could not create a record set");
        }
        m_controller.CommitTrans();
        if (page)
            page->SetKey(key);
        return found == LQADO_OK ? StoreOutcome::Replaced : StoreOutcome::Inserted;
    }
    catch (const _com_error& e)
    {
        LogComError(e);
        return fail(ReasonOf(e));
    }
    catch (...)
    {
        WriteDebugLog(kUnknownErrorText);
        return fail(kUnknownErrorText);
    }
}

long COfflineStore::ReadNumber(const std::string& sql, long& value)
{
    CLQADOField one(1);
    const long rc = m_controller.GetFirstRecorder(sql.c_str(), one);
    const _variant_t& v = *one.GetData(0);
    value = v.vt == VT_I4 ? v.lVal : 0;
    return rc;
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

long COfflineStore::GetTopicByKey(long key, CTopicTable& table)
{
    char base[kStoreStatementBytes];
    table.GetSQL_OpenTable(base);
    const std::string sql = base + KeyCondition(OfflineTable::Topic, key);
    const long rc = ReadFirst(sql.c_str(), table);
    if (rc == LQADO_OK)
        table.SetKey(key);
    return rc;
}

long COfflineStore::GetTopicByTitle(const char* title, CTopicTable& table)
{
    if (!title)
        return kStoreRefused;
    // Of several pages with the title, the first saved.
    std::string sql =
        "SELECT rowid FROM tTopic WHERE fTitle='" + Quote(title) + "' ORDER BY rowid LIMIT 1";
    if (!Fits(sql))
        return kStoreRefused;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    long key = 0;
    long rc = kStoreEngineError;
    try
    {
        rc = ReadNumber(sql, key);
    }
    catch (const _com_error& e)
    {
        LogComError(e);
    }
    catch (...)
    {
        WriteDebugLog(kUnknownErrorText);
    }
    return rc == LQADO_OK ? GetTopicByKey(key, table) : rc;
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

long COfflineStore::Walk(OfflineTable table, const std::string& sql, LQADORecordCallback callback,
                         void* context)
{
    if (!callback)
        return kStoreRefused;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    try
    {
        CListRows rows(LayoutOf(table), callback, context);
        return m_controller.GetRecorderSet(sql.c_str(), &CListRows::OnRecord, &rows);
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
    std::string sql =
        "SELECT " + LayoutOf(table).select + " FROM " + OfflineTableName(table) + condition;
    return Walk(table, sql, callback, context);
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
    const std::string pattern = " WHERE fTitle LIKE '%" + Quote(LikeLiteral(text)) + "%'";
    // The escape clause is not counted against the statement's size.
    char base[kStoreStatementBytes];
    CLQADOSQL::GetSQL_OpenTable(OfflineTableName(table), base);
    if (!Fits(base + pattern))
        return kStoreRefused;
    return Walk(table,
                "SELECT " + LayoutOf(table).select + " FROM " + OfflineTableName(table) + pattern +
                    " ESCAPE '" + kLikeEscape + "'",
                callback, context);
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
    const size_t length = SavedFileLength(
        data, static_cast<size_t>(std::max(0L, CLQADOVTData::GetBinaryDataLen(value))));
    std::string error;
    if (!WriteFileReplacing(path, data, length, &error))
    {
        WriteDebugLog(("ExtractContent: " + error).c_str());
        return 0;
    }
    return 1;
}

std::string COfflineStore::OpenDisplayCopy(OfflineTable table, long key, std::string* reason)
{
    auto fail = [&](const std::string& why)
    {
        if (reason)
            *reason = why;
        return std::string();
    };
    std::string path = DisplayPath(table, key);
    if (path.empty())
        return fail("the display file name would be too long");
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    // The length alone: the engine answers it without reading the content,
    // so an open of a whole copy stays an open of a file.
    long stored = 0;
    long rc = kStoreEngineError;
    std::string engineReason;
    try
    {
        rc = ReadNumber(std::string("SELECT length(fContent) FROM ") + OfflineTableName(table) +
                            KeyCondition(table, key),
                        stored);
    }
    catch (const _com_error& e)
    {
        LogComError(e);
        engineReason = ReasonOf(e);
    }
    if (rc == LQADO_E_NORECORD)
        return fail("no saved item " + std::to_string(key));
    if (rc != LQADO_OK)
        return fail(engineReason.empty() ? "the database could not be read" : engineReason);
    if (DisplayCopyMatches(path, stored))
        return path;

    int written = 0;
    if (table == OfflineTable::Community)
    {
        CCommunityTable row;
        written = GetRecordById(key, row) == LQADO_OK &&
                  ExtractContent(row, CCommunityTable::fContent, path.c_str());
    }
    else if (table == OfflineTable::Develop)
    {
        CDevelopTable row;
        written = GetRecordById(key, row) == LQADO_OK &&
                  ExtractContent(row, CDevelopTable::fContent, path.c_str());
    }
    else
    {
        CTopicTable row;
        written = GetTopicByKey(key, row) == LQADO_OK &&
                  ExtractContent(row, CTopicTable::fContent, path.c_str());
    }
    if (!written)
        return fail("cannot write " + path + " (see debug.txt)");
    return path;
}

std::string COfflineStore::DisplayPath(OfflineTable table, long key) const
{
    switch (table)
    {
    case OfflineTable::Community:
        return CommunityDisplayPath(key);
    case OfflineTable::Develop:
        return DevelopDisplayPath(key);
    case OfflineTable::Topic:
        break;
    }
    return TopicDisplayPath(key);
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

std::string COfflineStore::TopicDisplayPath(long key) const
{
    // Not the title: pages may share one, or be called like an article's id.
    std::string path = m_tempFolder + "/" + kDevelopPrefix + "Page" + std::to_string(key) + ".mht";
    return path.size() <= kMaxPathBytes ? path : std::string();
}
